#include "match_client.h"

#include <stdexcept>

namespace voltaro::server::testing {

MatchClient::MatchClient(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& server,
                         WsClientOptions options)
    : io_(io), socket_(std::make_shared<WsClient>(io)) {
    socket_->connect(server, std::move(options));
}

bool MatchClient::connected(std::chrono::milliseconds limit) {
    runUntil(
        io_, [&] { return socket_->connected() || socket_->failed(); }, limit);
    return socket_->connected();
}

void MatchClient::send(const online::ClientMessage& message) {
    socket_->send(online::write(message));
}

void MatchClient::press(std::int16_t key) {
    keyDown(key);
    keyUp(key);
}

void MatchClient::keyDown(std::int16_t key) {
    sendOwn(online::Input::Kind::KeyDown, key);
}

void MatchClient::keyUp(std::int16_t key) {
    sendOwn(online::Input::Kind::KeyUp, key);
}

void MatchClient::sendOwn(online::Input::Kind kind, std::int16_t key) {
    received();  // the latest pong first: the stamp is only as good as the clock
    const online::Input input = followed_.own(kind, key, Clock::now());
    if (kind == online::Input::Kind::KeyDown) {
        send(online::client::KeyDown{key, input.tick, input.seq});
    } else {
        send(online::client::KeyUp{key, input.tick, input.seq});
    }
}

void MatchClient::ping() {
    lastPing_ = Clock::now();
    followed_.pinging(lastPing_);
    send(online::client::Ping{});
}

// A few pings at once when the match starts, so that the first stamps are good; then one a
// second, as the real clients do.
void MatchClient::keepClock(Clock::time_point now) {
    if (followed_.started() && now - lastPing_ >= std::chrono::seconds(1)) {
        ping();
    }
}

bool MatchClient::reachTick(std::uint32_t tick, std::chrono::milliseconds limit) {
    return runUntil(
        io_,
        [&] {
            received();
            return followed_.clockKnown() && followed_.presentTick(Clock::now()) >= tick;
        },
        limit);
}

const std::vector<online::ServerMessage>& MatchClient::received() {
    while (!socket_->inbox.empty()) {
        std::string problem;
        auto message = online::readServerMessage(socket_->inbox.front().text, problem);
        if (!message) {
            throw std::runtime_error("the server sent what the protocol cannot read: " + problem);
        }
        const bool matchStarted = std::holds_alternative<online::server::MatchStarted>(*message);
        if (const auto* seated = std::get_if<online::server::Seated>(&*message)) {
            followed_.seated(seated->seat);
        }
        followed_.take(*message, socket_->inbox.front().at);
        received_.push_back(std::move(*message));
        socket_->inbox.pop_front();
        if (matchStarted) {
            for (int i = 0; i < 3; ++i) {
                ping();
            }
        }
    }
    keepClock(Clock::now());
    // Drawn whenever the test looks, as a host draws every frame: a late input then moves what
    // was shown, and the predicted match counts the correction.
    if (followed_.started()) {
        followed_.shown(Clock::now());
    }
    return received_;
}

bool bringBallIntoPlay(MatchClient& red, std::chrono::milliseconds limit) {
    constexpr std::uint32_t kFirstTick = 8;
    constexpr std::int16_t kShift = 16;
    if (!red.reachTick(kFirstTick, limit)) {
        return false;
    }
    red.press(kShift);
    return true;
}

PlayedMatch playToTheEnd(MatchClient& red, MatchClient& blue, std::chrono::milliseconds limit) {
    PlayedMatch played;
    // "Goal!", then the winner's box; each waits for both OKs.
    for (int box = 0; box < 2; ++box) {
        auto redBox = red.next<online::server::BoxOpened>(limit);
        auto blueBox = blue.next<online::server::BoxOpened>(limit);
        if (!redBox || !blueBox) {
            return played;
        }
        red.send(online::client::BoxOk{redBox->box});
        blue.send(online::client::BoxOk{blueBox->box});
        played.redBoxes.push_back(std::move(*redBox));
        played.blueBoxes.push_back(std::move(*blueBox));
    }
    played.redEnd = red.next<online::server::GameOver>(limit);
    played.blueEnd = blue.next<online::server::GameOver>(limit);
    return played;
}

}  // namespace voltaro::server::testing
