#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "online/scene.h"
#include "online/seat.h"

// The messages of online play, as the server, the desktop game and the page all write and read
// them: every message is one WebSocket text frame holding one JSON object whose "type" names it.
namespace voltaro::online {

// Both sides check it in the first exchange; a client of another version is told so and closed,
// rather than let into a match whose messages it would misread.
inline constexpr int kProtocolVersion = 2;

// No message a client has any reason to send comes near this; anything longer is refused unread.
inline constexpr std::size_t kMaxClientMessageBytes = 512;

// A held key repeats at the player's own settings, kept within what a desktop keyboard offers:
// a client cannot make its player run faster than a player at any real keyboard.
inline constexpr double kShortestRepeatDelayMs = 250;
inline constexpr double kLongestRepeatDelayMs = 1000;
inline constexpr double kShortestRepeatIntervalMs = 1000.0 / 30;
inline constexpr double kLongestRepeatIntervalMs = 400;
// Presses, like repeats, come no faster than fingers make them: a client that sends key downs
// and ups at a great rate gets a few at once and then 20 a second, not a player that flies.
inline constexpr int kPressBurst = 10;
inline constexpr int kPressesPerSecond = 20;

// WebSocket close codes the server uses (RFC 6455: 1000-2999 are the standard's, 4000-4999 are
// the application's).
namespace close_code {
inline constexpr std::uint16_t kNormal = 1000;
inline constexpr std::uint16_t kGoingAway = 1001;   // the server is shutting down
inline constexpr std::uint16_t kMalformed = 4000;   // not a message of this protocol
inline constexpr std::uint16_t kVersion = 4001;     // the client speaks another version
inline constexpr std::uint16_t kOutOfPlace = 4002;  // a message no correct client sends now
inline constexpr std::uint16_t kSeatTakenOver =
    4003;                                     // the seat's token came back on a new connection
inline constexpr std::uint16_t kIdle = 4004;  // no hello, or no room, within the server's wait
}  // namespace close_code

// What a client sends.
namespace client {
struct Hello {
    int version = kProtocolVersion;
};
struct Create {};  // a new room, with this client in the red seat
struct Join {      // the blue seat of a room
    std::string code;
};
struct Watch {  // a room, as a spectator
    std::string code;
};
struct Rejoin {  // back into a seat after the connection dropped
    std::string code;
    std::string token;
};
struct KeyDown {
    std::int16_t code = 0;  // the key's virtual key code as the player's keyboard gave it
};
struct KeyUp {
    std::int16_t code = 0;
};
struct KeyRepeat {  // the player's keyboard repeat settings, in milliseconds
    double delayMs = 500;
    double intervalMs = 1000.0 / 30;
};
struct FocusLost {};  // the window lost the keyboard: every held key is up
struct BoxOk {        // OK pressed on that box
    std::uint32_t box = 0;
};
struct PlayAgain {};  // after the match's end: this player wants another
struct Leave {};      // the player leaves the room for good, without a wait for their return
struct Ping {};       // nothing heard for a while: the server answers at once with a Pong
}  // namespace client

using ClientMessage =
    std::variant<client::Hello, client::Create, client::Join, client::Watch, client::Rejoin,
                 client::KeyDown, client::KeyUp, client::KeyRepeat, client::FocusLost,
                 client::BoxOk, client::PlayAgain, client::Leave, client::Ping>;

// What the server sends.
namespace server {
struct Welcome {
    int version = kProtocolVersion;
};
struct Seated {  // where this connection now is; a player keeps the token to come back with
    std::string code;
    Seat seat = Seat::Spectator;
    std::string token;  // empty for a spectator
};
struct MatchStarted {
    std::uint32_t match = 0;  // 1 for the room's first match, 2 after playing again, ...
    Scene scene;
};
struct State {  // the scene after a tick or a key; sent as a State message (the latest wins)
    std::uint32_t tick = 0;
    Scene scene;
};
struct BoxOpened {  // a message box, over the scene as it stood when it opened
    std::uint32_t box = 0;
    std::string text;
    Scene scene;
};
struct BoxClosed {
    std::uint32_t box = 0;
};
struct Paused {
    std::string reason;  // "Blue left the match"
};
struct Resumed {
    std::string reason;  // "Blue is back"
};
struct GameOver {  // the last box is closed: the final scene; the players may play again
    Scene scene;
};
struct PlayAgainWanted {
    Seat seat = Seat::Red;
};
struct RoomClosed {  // the room is gone; the connection may create, join or watch another
    std::string reason;
};
struct Error {  // a request refused ("No room has that code"), or the reason for a close
    std::string message;
};
struct Pong {};  // the answer to a Ping
}  // namespace server

using ServerMessage =
    std::variant<server::Welcome, server::Seated, server::MatchStarted, server::State,
                 server::BoxOpened, server::BoxClosed, server::Paused, server::Resumed,
                 server::GameOver, server::PlayAgainWanted, server::RoomClosed, server::Error,
                 server::Pong>;

std::string write(const ClientMessage& message);
std::string write(const ServerMessage& message);

// The State message written into `out` (cleared first), without building a ServerMessage: the
// server writes one per tick for every match, so it reuses one buffer.
void writeState(std::uint32_t tick, const Scene& scene, std::string& out);

// Reads one message. On failure returns nothing and says why in `problem`, short enough to be a
// close reason (at most 123 bytes).
std::optional<ClientMessage> readClientMessage(std::string_view text, std::string& problem);
std::optional<ServerMessage> readServerMessage(std::string_view text, std::string& problem);

}  // namespace voltaro::online
