#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "online/protocol.h"
#include "ws_client.h"

namespace voltaro::server::testing {

// A player or spectator of the tests: the protocol's messages over a WsClient, written and read
// by the protocol module, with every message the server sent kept in order.
class MatchClient {
  public:
    MatchClient(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& server,
                WsClientOptions options = {});

    bool connected(std::chrono::milliseconds limit);
    void send(const online::ClientMessage& message);
    void press(std::int16_t key);  // down and up
    WsClient& socket() { return *socket_; }

    // Waits until a message of kind T arrives after those already taken, and takes it.
    template <typename T>
    std::optional<T> next(std::chrono::milliseconds limit);

    // Every message read so far, in order (a message that did not parse stops the test).
    const std::vector<online::ServerMessage>& received();

  private:
    boost::asio::io_context& io_;
    std::shared_ptr<WsClient> socket_;
    std::vector<online::ServerMessage> received_;
    std::size_t taken_ = 0;
};

template <typename T>
std::optional<T> MatchClient::next(std::chrono::milliseconds limit) {
    std::optional<T> found;
    runUntil(
        io_,
        [&] {
            received();
            for (; taken_ < received_.size() && !found; ++taken_) {
                if (const T* message = std::get_if<T>(&received_[taken_])) {
                    found = *message;
                }
            }
            return found.has_value() || socket_->ended();
        },
        limit);
    return found;
}

// What both players saw of a match played to its end.
struct PlayedMatch {
    std::vector<online::server::BoxOpened> redBoxes, blueBoxes;
    std::optional<online::server::GameOver> redEnd, blueEnd;
};

// Presses a key that is no player's once the match has run a few ticks: the ball comes into play
// from where it drifted, and from there it reaches a goal in about ten seconds. (A press in the
// first ticks can start a rally that never ends; one at the first tick ends in five seconds.)
bool bringBallIntoPlay(MatchClient& red, std::chrono::milliseconds limit);

// Plays the match that has started between `red` and `blue`, with the ball in play, to its end:
// both answer every box.
PlayedMatch playToTheEnd(MatchClient& red, MatchClient& blue, std::chrono::milliseconds limit);

}  // namespace voltaro::server::testing
