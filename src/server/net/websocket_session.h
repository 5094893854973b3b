#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <memory>
#include <optional>

#include "server/core/refusals.h"
#include "server/core/token_bucket.h"
#include "server/net/address_counter.h"
#include "server/net/connection_hub.h"
#include "server/net/frame_counting_socket.h"
#include "server/net/outgoing_queue.h"
#include "server/net/server_options.h"

namespace voltaro::server {

// One match connection: the WebSocket handshake, then text messages in to the hub and the
// Lobby's messages out through the outgoing queue. Beast answers pings and closes connections
// that break the framing rules (1002), send bad UTF-8 (1007) or too long a message (1009); this
// session closes those that send binary frames (1003), too many messages or leave too much unread
// (1008), and the WebSocket timeout closes a peer that answers no ping. The rate counts frames, not
// messages: pings, pongs and empty fragments cost the server as much.
class WebSocketSession final : public HubConnection,
                               public std::enable_shared_from_this<WebSocketSession> {
  public:
    using Request = boost::beast::http::request<boost::beast::http::string_body>;

    WebSocketSession(boost::asio::ip::tcp::socket&& socket, AddressSlot slot, ConnectionHub& hub,
                     ServerStats& stats, Refusals& refusals, const ServerOptions& options);

    void start(Request upgrade);

    void push(std::string message, Duration stamp) override;
    void closeWith(std::uint16_t code, std::string reason) override;

  private:
    void accepted(boost::beast::error_code error);
    void framesArrived(std::size_t frames);
    void readNext();
    void read(boost::beast::error_code error);
    void writeNext();
    void written(boost::beast::error_code error);
    // A rule of the transport was broken: drop what is queued, close, and let the Lobby know.
    void refuse(Refusal why, std::uint16_t code, std::string reason);
    // Counts a connection Beast closed for breaking the framing rules.
    void countBrokenFrames(boost::beast::error_code error);
    void end();

    // On the socket itself, frames counted: the WebSocket stream keeps its own time, and every
    // message costs less without the timed stream's bookkeeping.
    boost::beast::websocket::stream<FrameCountingSocket> ws_;
    boost::beast::flat_buffer buffer_;
    AddressSlot slot_;
    ConnectionHub& hub_;
    ServerStats& stats_;
    Refusals& refusals_;
    TokenBucket rate_;  // a second's worth of messages at once, then the steady rate
    OutgoingQueue queue_;
    std::optional<OutgoingQueue::Message> inFlight_;
    std::optional<boost::beast::websocket::close_reason> closing_;
    bool closeStarted_ = false;
    bool overRate_ = false;  // what arrives from now on is not read
    ConnectionId id_ = 0;    // 0 until the handshake is done
};

}  // namespace voltaro::server
