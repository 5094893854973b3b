#include "ws_client.h"

#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

namespace voltaro::server::testing {

namespace beast = boost::beast;
namespace websocket = boost::beast::websocket;

WsClient::WsClient(boost::asio::io_context& io) : ws_(io) {}

void WsClient::connect(const boost::asio::ip::tcp::endpoint& server, Options options) {
    if (!options.source) {
        options.source = from_;
    }
    if (options.source) {
        auto& socket = beast::get_lowest_layer(ws_);
        beast::error_code error;
        socket.open(server.protocol(), error);
        if (!error) {
            socket.bind({*options.source, 0}, error);
        }
        if (error) {
            failed_ = ended_ = true;
            return;
        }
    }
    beast::get_lowest_layer(ws_).async_connect(server, [self = shared_from_this(), server,
                                                        options](beast::error_code error) {
        if (error) {
            self->failed_ = self->ended_ = true;
            return;
        }
        beast::get_lowest_layer(self->ws_).set_option(boost::asio::ip::tcp::no_delay(true), error);
        self->ws_.set_option(websocket::stream_base::decorator(
            [origin = options.origin, headers = options.headers](websocket::request_type& request) {
                if (origin) {
                    request.set(beast::http::field::origin, *origin);
                }
                for (const auto& [name, value] : headers) {
                    request.insert(name, value);
                }
            }));
        auto response = std::make_shared<websocket::response_type>();
        self->ws_.async_handshake(*response,
                                  options.host.value_or(server.address().to_string() + ":" +
                                                        std::to_string(server.port())),
                                  options.target, [self, response](beast::error_code error) {
                                      if (error) {
                                          self->refusedWith_ = response->result_int();
                                          self->failed_ = self->ended_ = true;
                                          return;
                                      }
                                      self->connected_ = true;
                                      self->readNext();
                                      self->writeNext();
                                  });
    });
}

void WsClient::send(std::string text) {
    bytesSent += text.size();
    outbox_.emplace_back(std::move(text), false);
    writeNext();
}

void WsClient::sendBinary(std::string data) {
    outbox_.emplace_back(std::move(data), true);
    writeNext();
}

void WsClient::close() {
    if (connected_ && !ended_) {
        ws_.async_close(websocket::close_code::normal,
                        [self = shared_from_this()](beast::error_code) {});
    }
}

void WsClient::readNext() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t n) {
        if (error) {
            self->finish();
            return;
        }
        const auto at = Clock::now();
        self->bytesReceived += n;
        const auto data = self->buffer_.cdata();
        const std::string_view text(static_cast<const char*>(data.data()), data.size());
        if (self->onMessage) {
            self->onMessage(text, at);
        } else {
            self->inbox.push_back({std::string(text), at});
        }
        self->buffer_.clear();
        self->readNext();
    });
}

void WsClient::writeNext() {
    if (writing_ || !connected_ || ended_ || outbox_.empty()) {
        return;
    }
    writing_ = true;
    ws_.binary(outbox_.front().second);
    ws_.async_write(boost::asio::buffer(outbox_.front().first),
                    [self = shared_from_this()](beast::error_code error, std::size_t) {
                        self->writing_ = false;
                        self->outbox_.pop_front();
                        if (!error) {
                            self->writeNext();
                        }
                    });
}

void WsClient::finish() {
    ended_ = true;
    if (ws_.reason().code != websocket::close_code::none) {
        closeReason_ = ws_.reason();
    }
}

bool runUntil(boost::asio::io_context& io, const std::function<bool()>& done,
              std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        io.restart();
        io.run_one_for(std::chrono::milliseconds(20));
    }
    return true;
}

unsigned closeCodeOf(boost::asio::io_context& io, WsClient& client,
                     std::chrono::milliseconds limit) {
    runUntil(
        io, [&] { return client.ended(); }, limit);
    return client.closeReason() ? client.closeReason()->code : 0;
}

}  // namespace voltaro::server::testing
