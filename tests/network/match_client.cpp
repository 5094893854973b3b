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
    send(online::client::KeyDown{key});
    send(online::client::KeyUp{key});
}

const std::vector<online::ServerMessage>& MatchClient::received() {
    while (!socket_->inbox.empty()) {
        std::string problem;
        auto message = online::readServerMessage(socket_->inbox.front().text, problem);
        if (!message) {
            throw std::runtime_error("the server sent what the protocol cannot read: " + problem);
        }
        received_.push_back(std::move(*message));
        socket_->inbox.pop_front();
    }
    return received_;
}

bool bringBallIntoPlay(MatchClient& red, std::chrono::milliseconds limit) {
    constexpr std::uint32_t kFirstTick = 8;
    constexpr std::int16_t kShift = 16;
    for (auto state = red.next<online::server::State>(limit); state;
         state = red.next<online::server::State>(limit)) {
        if (state->tick >= kFirstTick) {
            red.press(kShift);
            return true;
        }
    }
    return false;
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
