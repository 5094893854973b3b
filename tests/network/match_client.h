#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "followed_match.h"
#include "online/protocol.h"
#include "ws_client.h"

namespace voltaro::server::testing {

// A player or spectator of the tests: the protocol's messages over a WsClient, written and read
// by the protocol module, with every message the server sent kept in order. It runs the match
// from those messages as a real client does (FollowedMatch), and keeps its clock in step with
// the server's by pings once the match is on: a few at once, then one a second.
class MatchClient {
  public:
    MatchClient(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& server,
                WsClientOptions options = {});

    bool connected(std::chrono::milliseconds limit);
    void send(const online::ClientMessage& message);
    // A key down and up, stamped with the present tick, applied to the predicted match at once.
    void press(std::int16_t key);
    void keyDown(std::int16_t key);
    void keyUp(std::int16_t key);
    void ping();
    WsClient& socket() { return *socket_; }
    // The match as this client runs it from what it has read so far.
    FollowedMatch& followed() { return followed_; }
    // Reads what has come and waits until the client's clock puts the match at `tick` or later.
    bool reachTick(std::uint32_t tick, std::chrono::milliseconds limit);

    // Waits until a message of kind T arrives after those already taken, and takes it.
    template <typename T>
    std::optional<T> next(std::chrono::milliseconds limit);

    // Every message read so far, in order (a message that did not parse stops the test).
    const std::vector<online::ServerMessage>& received();

  private:
    void sendOwn(online::Input::Kind kind, std::int16_t key);
    void keepClock(Clock::time_point now);

    boost::asio::io_context& io_;
    std::shared_ptr<WsClient> socket_;
    std::vector<online::ServerMessage> received_;
    std::size_t taken_ = 0;
    FollowedMatch followed_;
    Clock::time_point lastPing_{};
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
// The match is a function of its inputs: pressed at the same tick, it plays the same match.
bool bringBallIntoPlay(MatchClient& red, std::chrono::milliseconds limit);

// Plays the match that has started between `red` and `blue`, with the ball in play, to its end:
// both answer every box.
PlayedMatch playToTheEnd(MatchClient& red, MatchClient& blue, std::chrono::milliseconds limit);

}  // namespace voltaro::server::testing
