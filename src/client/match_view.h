#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "online/protocol.h"

namespace voltaro {
class Controls;
}

namespace voltaro::client {

// One player's view of an online match: the server's messages come in, and out come what the
// screen shows (the scene, a box, a sentence for the player) and the messages that the player's
// keys and buttons send. It knows no socket, clock or toolkit, so that the desktop game and the
// page show the same match the same way; the host carries the frames and draws.
class MatchView {
  public:
    enum class Phase {
        Connecting,    // the first connection is being made
        Lobby,         // connected, no seat: a request was refused, another may be made
        Waiting,       // seated as red, the friend has not joined yet
        Playing,       // the match runs (or is paused while a player is away)
        Box,           // a message box is open over its scene
        Over,          // the final scene: play again or quit
        Reconnecting,  // the connection dropped: the seat is kept for a while on the server
        Closed,        // nothing more will happen: the status says why
    };

    // What to do once connected: a new room, or the blue seat of `code`. A token kept from an
    // earlier visit to that room takes the seat back instead.
    void create();
    void join(std::string code, std::string token = {});

    // The connection, as the host's socket reports it: a new one being opened, open, a frame...
    void connecting();
    void opened();
    void received(std::string_view frame);
    // The socket closed (or could not open). True when the host should open a new one in a
    // moment and call opened() again: the seat is still ours on the server for a while.
    bool closed(std::uint16_t code, std::string_view reason);
    // The host stops trying to reach the server.
    void gaveUp();
    // Asked by the host twice a second or so, with a steady clock. A server that has said nothing
    // for a while is sent a Ping, which it answers at once; one that leaves it unanswered
    // (stopped, or cut off without a close), or an attempt to connect that neither opens nor
    // fails, is taken for gone: true then, and the host drops the connection or the attempt and
    // reports it to closed() as an abnormal close. Only a call that comes on time gives up: after
    // a stall of the host's own (or a hidden tab's slowed timers) an answer may be waiting
    // unread behind this call.
    bool serverSilent(double nowMs);
    static constexpr double kPingAfterMs = 2000;
    static constexpr double kAnswerWithinMs = 4000;
    static constexpr double kOpenWithinMs = 6000;
    static constexpr double kOnTimeMs = 1500;  // since the call before

    // The player. `key` names the physical key (for its release); `code` is the classic host's
    // key code.
    void keyDown(int key, std::int16_t code);
    void keyUp(int key);
    void focusLost();
    void setKeyRepeat(double delayMs, double intervalMs);
    void boxOk();
    void playAgain();
    void leave();

    // The frames to send, in order, since the last call.
    std::vector<std::string> takeOutgoing();
    // Whether anything the screen shows changed since the last call.
    bool takeChanged();

    Phase phase() const { return phase_; }
    const online::Scene& scene() const { return scene_; }
    std::uint32_t tick() const { return tick_; }
    std::uint32_t matchNumber() const { return matchNumber_; }
    std::uint32_t boxNumber() const { return box_; }
    const std::string& boxText() const { return boxText_; }
    bool boxAnswered() const { return boxAnswered_; }
    bool paused() const { return !awayReason_.empty(); }
    const std::string& status() const { return status_; }
    const std::string& code() const { return code_; }
    const std::string& token() const { return token_; }
    std::optional<online::Seat> seat() const { return seat_; }
    // Whom the player plays and against whom, for the window's title.
    std::string matchLine() const;
    // For a test's log: the scene with the tick it stood at, while the scene on screen is the
    // one the server's last state gave; empty under a box, at the end, or before a state.
    std::string tickLine() const;

  private:
    enum class Request { None, Create, Join, Rejoin };

    void send(const online::ClientMessage& message);
    void sendRequest();
    void show(Phase phase, std::string status);
    std::string friendName() const;

    void on(const online::server::Welcome&);
    void on(const online::server::Seated& m);
    void on(const online::server::MatchStarted& m);
    void on(const online::server::State& m);
    void on(const online::server::BoxOpened& m);
    void on(const online::server::BoxClosed& m);
    void on(const online::server::Paused& m);
    void on(const online::server::Resumed& m);
    void on(const online::server::GameOver& m);
    void on(const online::server::PlayAgainWanted& m);
    void on(const online::server::RoomClosed& m);
    void on(const online::server::Error& m);
    void on(const online::server::Pong&) {}  // a sign of life, as every message is

    Phase phase_ = Phase::Connecting;
    Request request_ = Request::None;
    bool connected_ = false;
    bool welcomed_ = false;  // by a server of this protocol, at least once
    bool changed_ = true;
    online::Scene scene_;
    std::uint32_t tick_ = 0;
    bool sceneOfTick_ = false;  // the scene is the match's at tick_, not a box's or the end's
    std::uint32_t matchNumber_ = 0;
    std::uint32_t box_ = 0;
    std::string boxText_;
    std::string lastBoxText_;
    bool boxAnswered_ = false;
    std::string awayReason_;
    std::string status_ = "Connecting to the server...";
    std::string code_;
    std::string token_;
    std::optional<online::Seat> seat_;
    std::map<int, std::int16_t> held_;  // physical key -> the code sent with its press
    std::optional<online::client::KeyRepeat> repeat_;
    std::vector<std::string> outgoing_;
    bool heard_ = true;  // a sign of life (or a new attempt) since the host last asked
    double heardAtMs_ = 0;
    std::optional<double> pingedAtMs_;
    std::optional<double> checkedAtMs_;
};

// Puts the server's scene on the form's controls: the ball, both players and both counters.
void showScene(const online::Scene& scene, Controls& controls);

// One line for a test's log of what a client showed: the tick and the scene, numbers written
// as the replay tool writes them.
std::string describeScene(std::uint32_t tick, const online::Scene& scene);

// Where to play: a room code and the match server's WebSocket address, read from what a player
// was sent or typed: a link (http://host:port/?match=CODE, as the page and --host give it), an
// address (host:port), or a code alone (the server is then `defaultServer`).
struct JoinTarget {
    std::string server;  // ws://host:port/ws or wss://...; empty: the default
    std::string code;    // empty: none given
};
JoinTarget readJoinTarget(std::string_view typed);
// The WebSocket address of the server that an address or link names (http -> ws, https -> wss,
// no scheme -> ws), or empty when it names none.
std::string matchSocketUrl(std::string_view address);
// The WebSocket address for a room: its code in the query (?room=CODE), by which a proxy in
// front of several servers sends the connection to the one that holds the room.
std::string roomSocketUrl(std::string_view socketUrl, std::string_view code);
// The link a friend opens in a browser (or gives to --join): http://host:port/?match=CODE.
std::string joinLink(std::string_view socketUrl, std::string_view code);

}  // namespace voltaro::client
