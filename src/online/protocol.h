#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "online/input.h"
#include "online/scene.h"
#include "online/seat.h"

// The messages of online play, as the server, the desktop game and the page all write and read
// them: every message is one WebSocket text frame holding one JSON object whose "type" names it.
namespace voltaro::online {

// Both sides check it in the first exchange; a client of another version is told so and closed,
// rather than let into a match whose messages it would misread.
inline constexpr int kProtocolVersion = 4;

// No message a client has any reason to send comes near this; anything longer is refused unread.
inline constexpr std::size_t kMaxClientMessageBytes = 512;

// A held key repeats at the player's own settings, kept within what a desktop keyboard offers:
// a client cannot make its player run faster than a player at any real keyboard.
inline constexpr double kShortestRepeatDelayMs = 250;
inline constexpr double kLongestRepeatDelayMs = 1000;
inline constexpr double kShortestRepeatIntervalMs = 1000.0 / 30;
inline constexpr double kLongestRepeatIntervalMs = 400;

// A player's repeat settings as their match takes them: within the bounds above, in whole
// microseconds (a non-finite number counts as the default). The server and the sender's own
// match both take them through this.
struct RepeatTiming {
    std::uint32_t delayUs = 500000;
    std::uint32_t intervalUs = 33333;
};
RepeatTiming clampedRepeat(double delayMs, double intervalMs);
// Presses, like repeats, come no faster than fingers make them: a client that sends key downs
// and ups at a great rate gets a few at once and then 20 a second, not a player that flies.
inline constexpr int kPressBurst = 10;
inline constexpr int kPressesPerSecond = 20;

// A stamp on a player's input may lie this many ticks in the past of the server's present tick
// (125 ms): an older one acts at the oldest tick still open, and one in the future is not
// honoured (it acts at the present tick). A tick is final, never to change again, once the
// window has passed it, and the server says so every kFinalEveryTicks ticks (twice a second:
// each final message is a send to every member, and the presses never wait for one; a goal's
// final tick is told at once).
inline constexpr std::uint32_t kWindowTicks = 8;
inline constexpr std::uint32_t kFinalEveryTicks = 32;

// The tick at which a stamped input acts, the server's present tick being `present`.
constexpr std::uint32_t actingTick(std::uint32_t stamp, std::uint32_t present) {
    const std::uint32_t oldest = present > kWindowTicks ? present - kWindowTicks : 0;
    return stamp < oldest ? oldest : (stamp > present ? present : stamp);
}

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
// A player's inputs carry the tick the player's own match was at when it happened (their clock
// kept in step with the server's by pings) and the sender's own count, from 1, so that the
// server's echo and final ticks tell the sender which of its inputs it has taken.
struct KeyDown {
    std::int16_t code = 0;  // the key's virtual key code as the player's keyboard gave it
    std::uint32_t tick = 0;
    std::uint32_t seq = 0;
};
struct KeyUp {
    std::int16_t code = 0;
    std::uint32_t tick = 0;
    std::uint32_t seq = 0;
};
struct KeyRepeat {  // the player's keyboard repeat settings, in milliseconds
    double delayMs = 500;
    double intervalMs = 1000.0 / 30;
    std::uint32_t tick = 0;
    std::uint32_t seq = 0;
};
struct FocusLost {  // the window lost the keyboard: every held key is up
    std::uint32_t tick = 0;
    std::uint32_t seq = 0;
};
struct BoxOk {  // OK pressed on that box
    std::uint32_t box = 0;
};
struct PlayAgain {};  // after the match's end: this player wants another
struct Leave {};      // the player leaves the room for good, without a wait for their return
struct Ping {};       // the server answers at once with a Pong that says its time
struct Resync {};     // this client's match disagrees with a final tick: send the match again
// A match with whoever else is waiting: the connection waits in the server's queue until
// someone comes, and is then seated in a new room.
struct QuickMatch {};
struct LeaveQueue {};  // no longer waiting: back in the lobby
}  // namespace client

using ClientMessage =
    std::variant<client::Hello, client::Create, client::Join, client::Watch, client::Rejoin,
                 client::KeyDown, client::KeyUp, client::KeyRepeat, client::FocusLost,
                 client::BoxOk, client::PlayAgain, client::Leave, client::Ping, client::Resync,
                 client::QuickMatch, client::LeaveQueue>;

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
// The match as it stands at its last final tick; the inputs of the ticks after it follow as
// Input messages. Sent when a match starts, to a late comer, to a player coming back, and
// after a Resync.
struct MatchStarted {
    std::uint32_t match = 0;   // 1 for the room's first match, 2 after playing again, ...
    std::int64_t startUs = 0;  // the server's time at tick 0 (its clock, as Pong says it)
    std::uint32_t tick = 0;    // the final tick the state stands at
    std::string state;         // the encoded snapshot (snapshot.h)
};
// One input taken into the match, at the tick and in the place the server gave it (the sender
// sees its own, with its seq, too).
struct Input {
    online::Input input;  // Kind is never Pause or Resume here
};
// Every tick up to `tick` is final; the digest is the encoded snapshot's at that tick. `red`
// and `blue` are the last seq the server has taken, or turned away, of each player.
struct Final {
    std::uint32_t tick = 0;
    std::uint64_t digest = 0;
    std::uint32_t red = 0;
    std::uint32_t blue = 0;
};
struct BoxOpened {  // a message box, over the scene as it stood when it opened
    std::uint32_t box = 0;
    std::string text;
    Scene scene;
};
struct BoxClosed {
    std::uint32_t box = 0;
};
// Both are inputs of the match too, at their ticks: every tick up to a pause's is final, and
// none runs after it until a resume's tick, the ticks in between dropped.
struct Paused {
    std::string reason;  // "Blue left the match"
    std::uint32_t tick = 0;
};
struct Resumed {
    std::string reason;  // "Blue is back"
    std::uint32_t tick = 0;
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
struct Pong {                 // the answer to a Ping
    std::int64_t timeUs = 0;  // the server's steady clock as it answered
};
// After GameOver, when the match was recorded: its record is served at /replay/ID.
struct Replay {
    std::string id;
};
// The connection waits in the queue for a quick match; `seated` follows when someone comes.
// A place is held for so many seconds at most, then the server says so with an `error`.
struct Queued {
    std::uint32_t waitSeconds = 0;
};
struct Watchers {  // how many watch the room's matches, whenever that changes
    std::uint32_t count = 0;
};
// To the sender alone: its input `seq` was turned away, and no tick of the match has it. An
// input taken at its own stamp, ahead of every other input of its tick, is not sent back to
// its sender: the next Final's seq says it was taken, and where is what the sender stamped.
struct Refused {
    std::uint32_t seq = 0;
};
}  // namespace server

using ServerMessage =
    std::variant<server::Welcome, server::Seated, server::MatchStarted, server::Input,
                 server::Final, server::BoxOpened, server::BoxClosed, server::Paused,
                 server::Resumed, server::GameOver, server::PlayAgainWanted, server::RoomClosed,
                 server::Error, server::Pong, server::Replay, server::Queued, server::Watchers,
                 server::Refused>;

std::string write(const ClientMessage& message);
std::string write(const ServerMessage& message);

// Reads one message. On failure returns nothing and says why in `problem`, short enough to be a
// close reason (at most 123 bytes).
std::optional<ClientMessage> readClientMessage(std::string_view text, std::string& problem);
std::optional<ServerMessage> readServerMessage(std::string_view text, std::string& problem);

}  // namespace voltaro::online
