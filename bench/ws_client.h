#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace voltaro::server::testing {

using Clock = std::chrono::steady_clock;

struct WsClientOptions {
    std::string target = "/ws";
    std::optional<std::string> origin{};  // the Origin header a browser would send
    std::optional<std::string> host{};    // the Host header; the server's address:port if none
    std::vector<std::pair<std::string, std::string>> headers{};  // more, such as X-Forwarded-For
    // The address the client connects from (127.0.0.2, ...): one of many players on loopback.
    std::optional<boost::asio::ip::address> source{};
};

// A WebSocket client on loopback for the server's tests and its load bench: many share one
// io_context and one thread, each reading all the time (so pings are answered and nothing backs
// up), and keeping what arrived in its inbox or handing it to `onMessage`.
class WsClient : public std::enable_shared_from_this<WsClient> {
  public:
    struct Received {
        std::string text;
        Clock::time_point at;
    };
    using Options = WsClientOptions;

    explicit WsClient(boost::asio::io_context& io);

    // Connects from this loopback address (127.0.0.2, ...), as another machine would; before
    // connect().
    void bindTo(const boost::asio::ip::address& from) { from_ = from; }
    // Starts connecting; `connected()` or `failed()` tells how it went.
    void connect(const boost::asio::ip::tcp::endpoint& server, Options options = {});
    void send(std::string text);
    void sendBinary(std::string data);
    void close();

    bool connected() const { return connected_; }
    bool failed() const { return failed_; }
    // Once the connection is over: the server's close frame, if it sent one.
    bool ended() const { return ended_; }
    const std::optional<boost::beast::websocket::close_reason>& closeReason() const {
        return closeReason_;
    }
    // The HTTP status of a handshake the server refused (0 otherwise).
    unsigned refusedWith() const { return refusedWith_; }

    std::deque<Received> inbox;
    std::function<void(std::string_view, Clock::time_point)> onMessage;  // instead of the inbox
    std::uint64_t bytesReceived = 0;  // payload of the messages, both ways
    std::uint64_t bytesSent = 0;

  private:
    void readNext();
    void writeNext();
    void finish();

    boost::beast::websocket::stream<boost::asio::ip::tcp::socket> ws_;
    boost::beast::flat_buffer buffer_;
    std::deque<std::pair<std::string, bool>> outbox_;  // text, binary
    bool writing_ = false;
    bool connected_ = false;
    bool failed_ = false;
    bool ended_ = false;
    unsigned refusedWith_ = 0;
    std::optional<boost::asio::ip::address> from_;
    std::optional<boost::beast::websocket::close_reason> closeReason_;
};

// Runs `io` until `done()` holds or `limit` has passed; whether it holds.
bool runUntil(boost::asio::io_context& io, const std::function<bool()>& done,
              std::chrono::milliseconds limit);

// Runs `io` until the server has ended `client`'s connection; the close code it sent (0 when it
// sent none, or the connection is still open after `limit`).
unsigned closeCodeOf(boost::asio::io_context& io, WsClient& client,
                     std::chrono::milliseconds limit);

}  // namespace voltaro::server::testing
