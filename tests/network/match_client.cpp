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

}  // namespace voltaro::server::testing
