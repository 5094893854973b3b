#include "delay_relay.h"

#include <array>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <deque>
#include <string>

namespace voltaro::server::testing {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

// One direction of one connection: it reads all the time, stamps each chunk with the time it
// may go on, and writes the chunks in order once they are due.
struct DelayRelay::Pipe : std::enable_shared_from_this<Pipe> {
    Pipe(std::shared_ptr<tcp::socket> from, std::shared_ptr<tcp::socket> to, OneWayDelay delay,
         std::shared_ptr<std::mt19937> random)
        : from(std::move(from)),
          to(std::move(to)),
          delay(delay),
          random(std::move(random)),
          timer(this->to->get_executor()) {}

    void readNext() {
        from->async_read_some(
            asio::buffer(buffer),
            [self = shared_from_this()](boost::system::error_code error, std::size_t size) {
                self->onRead(error, size);
            });
    }

    void onRead(boost::system::error_code error, std::size_t size) {
        if (error) {
            // The end of one side ends the other once what is on the way has gone.
            ended = true;
            if (held.empty() && !writing) {
                closeBoth();
            }
            return;
        }
        std::uniform_int_distribution<long> jitter(0, delay.jitter.count());
        Clock::time_point due =
            Clock::now() + delay.delay + std::chrono::milliseconds(jitter(*random));
        if (!held.empty() && due < held.back().due) {
            due = held.back().due;
        }
        held.push_back({std::string(buffer.data(), size), due});
        if (!writing) {
            writeNext();
        }
        readNext();
    }

    void writeNext() {
        if (held.empty()) {
            writing = false;
            if (ended) {
                closeBoth();
            }
            return;
        }
        writing = true;
        timer.expires_at(held.front().due);
        timer.async_wait([self = shared_from_this()](boost::system::error_code error) {
            if (error) {
                return;
            }
            asio::async_write(*self->to, asio::buffer(self->held.front().bytes),
                              [self](boost::system::error_code error, std::size_t) {
                                  if (error) {
                                      self->closeBoth();
                                      return;
                                  }
                                  self->held.pop_front();
                                  self->writeNext();
                              });
        });
    }

    void closeBoth() {
        boost::system::error_code ignored;
        to->shutdown(tcp::socket::shutdown_send, ignored);
        from->close(ignored);
        timer.cancel();
    }

    struct Chunk {
        std::string bytes;
        Clock::time_point due;
    };
    std::shared_ptr<tcp::socket> from, to;
    OneWayDelay delay;
    std::shared_ptr<std::mt19937> random;
    asio::steady_timer timer;
    std::array<char, 16384> buffer{};
    std::deque<Chunk> held;
    bool writing = false;
    bool ended = false;
};

DelayRelay::DelayRelay(asio::io_context& io, const tcp::endpoint& server, OneWayDelay toServer,
                       OneWayDelay toClient, std::uint32_t seed)
    : io_(io),
      acceptor_(io, {asio::ip::make_address("127.0.0.1"), 0}),
      server_(server),
      toServer_(toServer),
      toClient_(toClient),
      random_(std::make_shared<std::mt19937>(seed)) {
    acceptNext();
}

DelayRelay::~DelayRelay() {
    boost::system::error_code ignored;
    acceptor_.close(ignored);
}

tcp::endpoint DelayRelay::endpoint() const {
    return acceptor_.local_endpoint();
}

void DelayRelay::acceptNext() {
    acceptor_.async_accept([this](boost::system::error_code error, tcp::socket accepted) {
        if (error) {
            return;
        }
        auto client = std::make_shared<tcp::socket>(std::move(accepted));
        auto server = std::make_shared<tcp::socket>(io_);
        server->connect(server_, error);  // loopback: at once
        if (!error) {
            std::make_shared<Pipe>(client, server, toServer_, random_)->readNext();
            std::make_shared<Pipe>(server, client, toClient_, random_)->readNext();
        }
        acceptNext();
    });
}

}  // namespace voltaro::server::testing
