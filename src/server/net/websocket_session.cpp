#include "server/net/websocket_session.h"

#include <boost/asio/post.hpp>
#include <boost/beast/websocket.hpp>
#include <utility>

#include "online/protocol.h"
#include "server/core/close_reason.h"
#include "server/core/person_key.h"
#include "server/net/local_network.h"

namespace voltaro::server {

namespace beast = boost::beast;
namespace websocket = boost::beast::websocket;

namespace {
// Room for one whole message of the longest kind a client may send, and no more: a message over
// it is refused (1009) before the buffer is full.
constexpr std::size_t kMaxBufferedBytes = 2 * online::kMaxClientMessageBytes;
}  // namespace

WebSocketSession::WebSocketSession(boost::asio::ip::tcp::socket&& socket, AddressSlot slot,
                                   ConnectionHub& hub, ServerStats& stats, Refusals& refusals,
                                   const ServerOptions& options)
    : ws_(std::move(socket), [this](std::size_t frames) { framesArrived(frames); }),
      buffer_(kMaxBufferedBytes),
      slot_(std::move(slot)),
      hub_(hub),
      stats_(stats),
      refusals_(refusals),
      rate_(std::max<std::size_t>(options.maxMessagesPerSecond, 1), std::chrono::seconds(1)) {
    // The WebSocket stream keeps its own time: a handshake (opening or closing) must finish
    // within the timeout, and a peer silent for half of it is pinged, and closed if it stays
    // silent for the other half.
    websocket::stream_base::timeout timeout{};
    timeout.handshake_timeout = options.timeout;
    timeout.idle_timeout = options.timeout;
    timeout.keep_alive_pings = true;
    ws_.set_option(timeout);
    ws_.read_message_max(online::kMaxClientMessageBytes);
    ws_.auto_fragment(false);
    ws_.set_option(websocket::stream_base::decorator(
        [](websocket::response_type& response) { response.set("Server", "voltaro-server"); }));
}

void WebSocketSession::start(Request upgrade) {
    ws_.async_accept(
        upgrade, [self = shared_from_this()](beast::error_code error) { self->accepted(error); });
}

void WebSocketSession::accepted(beast::error_code error) {
    if (error) {
        return;  // never a match connection: nothing to tell
    }
    id_ = hub_.opened(shared_from_this(), onLocalNetwork(slot_.address()),
                      personKey(slot_.address()));
    readNext();
}

void WebSocketSession::readNext() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
        self->read(error);
    });
}

void WebSocketSession::read(beast::error_code error) {
    if (error) {
        countBrokenFrames(error);
        end();
        return;
    }
    stats_.bytesReceived += buffer_.size();
    if (closing_) {
        buffer_.clear();  // what arrives after a close is no longer the Lobby's business
    } else if (!ws_.got_text()) {
        refuse(Refusal::Malformed, websocket::close_code::unknown_data, "Text messages only");
    } else if (overRate_) {
        // refused already, on the frames' arrival
    } else {
        const auto data = buffer_.cdata();
        hub_.received(id_, std::string_view(static_cast<const char*>(data.data()), data.size()));
    }
    buffer_.clear();
    readNext();
}

void WebSocketSession::countBrokenFrames(beast::error_code error) {
    if (!closing_ && (error == websocket::condition::protocol_violation ||
                      error == websocket::error::message_too_big)) {
        refusals_.count(Refusal::Malformed, slot_.address(), hub_.now());
    }
}

// Every frame counts against the rate as it arrives, before the WebSocket stream has answered a
// ping or skipped an empty fragment. Called from inside a read: the refusal waits for it to end.
void WebSocketSession::framesArrived(std::size_t frames) {
    if (overRate_) {
        return;
    }
    for (std::size_t i = 0; i < frames && !overRate_; ++i) {
        overRate_ = !rate_.take(hub_.now());
    }
    if (overRate_) {
        boost::asio::post(ws_.get_executor(), [self = shared_from_this()] {
            self->refuse(Refusal::MessageRate, websocket::close_code::policy_error,
                         "Too many messages");
        });
    }
}

void WebSocketSession::push(std::string message, Duration stamp) {
    if (closing_) {
        return;
    }
    if (!queue_.push(std::move(message), stamp)) {
        // Called from inside the Lobby, which must not be called back before it returns.
        boost::asio::post(ws_.get_executor(), [self = shared_from_this()] {
            self->refuse(Refusal::SlowReader, websocket::close_code::policy_error,
                         "Reading too slowly");
        });
        return;
    }
    writeNext();
}

void WebSocketSession::closeWith(std::uint16_t code, std::string reason) {
    if (closing_) {
        return;
    }
    reason = closeReason(reason);
    closing_.emplace(static_cast<websocket::close_code>(code),
                     beast::string_view(reason.data(), reason.size()));
    writeNext();
}

void WebSocketSession::refuse(Refusal why, std::uint16_t code, std::string reason) {
    if (closing_) {
        return;
    }
    refusals_.count(why, slot_.address(), hub_.now());
    queue_.clear();
    closeWith(code, std::move(reason));
    hub_.lost(id_);
}

void WebSocketSession::writeNext() {
    if (inFlight_ || closeStarted_) {
        return;
    }
    if (!queue_.empty()) {
        inFlight_ = queue_.pop();
        ws_.async_write(boost::asio::buffer(inFlight_->text),
                        [self = shared_from_this()](beast::error_code error, std::size_t) {
                            self->written(error);
                        });
        // The write has begun at once: on a socket with room (any peer that keeps reading) the
        // message is in the kernel now, and on loopback in the peer's socket.
        stats_.delivery.add(hub_.now() - inFlight_->stamp);
    } else if (closing_) {
        closeStarted_ = true;
        ws_.async_close(*closing_, [self = shared_from_this()](beast::error_code) {});
    }
}

void WebSocketSession::written(beast::error_code error) {
    if (error) {
        inFlight_.reset();
        return;  // the read fails too, and ends the session
    }
    ++stats_.messagesSent;
    stats_.bytesSent += inFlight_->text.size();
    inFlight_.reset();
    writeNext();
}

void WebSocketSession::end() {
    if (id_ == 0) {
        return;
    }
    hub_.lost(id_);
    hub_.ended(id_);
    id_ = 0;
}

}  // namespace voltaro::server
