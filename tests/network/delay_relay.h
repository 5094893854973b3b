#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <random>

namespace voltaro::server::testing {

// How long one direction of a connection holds what it carries: `delay` plus a jitter drawn
// evenly from [0, jitter], never reordering (a chunk waits at least for the one before it, as
// on one TCP stream).
struct OneWayDelay {
    std::chrono::milliseconds delay{0};
    std::chrono::milliseconds jitter{0};
};

// A relay on loopback that stands for the internet between a player and the server: every
// connection accepted on its port goes on to the server's, each direction held for its own
// delay. It runs on the tests' io_context, so it moves only while a test waits.
class DelayRelay {
  public:
    DelayRelay(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& server,
               OneWayDelay toServer, OneWayDelay toClient, std::uint32_t seed = 1);
    ~DelayRelay();
    DelayRelay(const DelayRelay&) = delete;
    DelayRelay& operator=(const DelayRelay&) = delete;

    boost::asio::ip::tcp::endpoint endpoint() const;

  private:
    struct Pipe;
    void acceptNext();

    boost::asio::io_context& io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::ip::tcp::endpoint server_;
    OneWayDelay toServer_, toClient_;
    std::shared_ptr<std::mt19937> random_;
};

}  // namespace voltaro::server::testing
