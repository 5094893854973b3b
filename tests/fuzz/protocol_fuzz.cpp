// libFuzzer target: what a client may send, read by the protocol module and then played into a
// lobby. It fails on any crash or sanitizer report, on a message that does not read back as
// written, and on a close the network layer could not make.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "online/protocol.h"
#include "server/core/lobby.h"

namespace {

using namespace voltaro;

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

template <typename Read>
void readsBackAsWritten(std::string_view text, Read read) {
    std::string problem;
    const auto message = read(text, problem);
    check(message.has_value() == problem.empty());
    check(problem.size() <= 123);
    if (message) {
        const std::string written = online::write(*message);
        const auto again = read(written, problem);
        check(again && again->index() == message->index() && online::write(*again) == written);
    }
}

struct CheckingTransport final : server::Transport {
    void send(server::ConnectionId, std::string message) override {
        check(!message.empty() && message.front() == '{' && message.back() == '}');
        std::string problem;
        const auto read = online::readServerMessage(message, problem);
        check(read.has_value());
        if (const auto* seated = std::get_if<online::server::Seated>(&*read)) {
            lastCode = seated->code;
        }
    }
    void close(server::ConnectionId, std::uint16_t code, std::string reason) override {
        check(code >= 1000 && code <= 4999 && reason.size() <= 123);
    }
    std::string lastCode;  // the last room a connection was seated in
};

// Each line of the input is one event from one of three connections: the first byte picks the
// connection and, for a few values, a drop of the connection, a step of time, or a join or watch
// of the last room seen (codes are random: a fuzzer would not find them); the rest is a
// message. Every connection is greeted first so that lines reach the rooms.
void playInLobby(std::string_view input) {
    using namespace std::chrono_literals;
    CheckingTransport transport;
    server::SeededRandom random(1);
    server::LobbyLimits limits;
    // Short waits, so that a few seconds of match time reach every time-out.
    limits.maxRooms = 2;
    limits.boxWait = 300ms;
    limits.reconnectWait = 600ms;
    server::Lobby lobby(transport, limits, {}, random);
    server::Duration now = 1s;
    const server::Duration stop = now + 4s;
    for (server::ConnectionId id = 0; id < 3; ++id) {
        lobby.connected(id, now);
        lobby.received(id, online::write(online::client::Hello{}), now);
    }
    int lines = 0;
    while (!input.empty() && ++lines <= 64) {
        const auto end = input.find('\n');
        const std::string_view line = input.substr(0, end);
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
        if (line.empty()) {
            continue;
        }
        const auto op = static_cast<unsigned char>(line[0]);
        const server::ConnectionId id = op % 3;
        if (op == '!') {
            lobby.disconnected(id, now);
        } else if (op == '+') {
            now = std::min<server::Duration>(
                stop, now + std::chrono::milliseconds(50 * static_cast<long>(line.size())));
            for (int wakes = 0; wakes < 100000 && lobby.nextWakeUp() <= now; ++wakes) {
                lobby.advance(lobby.nextWakeUp());
            }
        } else if (op == 'j' || op == 'w') {
            lobby.received(id,
                           online::write(op == 'j' ? online::ClientMessage(
                                                         online::client::Join{transport.lastCode})
                                                   : online::client::Watch{transport.lastCode}),
                           now);
        } else {
            lobby.received(id, line.substr(1), now);
        }
    }
    lobby.shutdown(now);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    readsBackAsWritten(text, online::readClientMessage);
    readsBackAsWritten(text, online::readServerMessage);
    playInLobby(text);
    return 0;
}
