#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/join_link.h"
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

    // What the host does with its connection, as takeConnectionStep() tells it.
    enum class ConnectionStep {
        None,
        Open,  // open a new connection to socketUrl() (dropping any other first)
        Drop,  // drop the connection or the attempt: its end is not to be reported
    };

    // `server` is the match server's address, or a page's or a link's address on it.
    explicit MatchView(std::string_view server = {});

    // What to do once connected: a new room, or the blue seat of `code`. A token kept from an
    // earlier visit to that room takes the seat back instead. Either asks for a connection.
    void create();
    void join(std::string code, std::string token = {});

    // The connection, as the host's socket reports it: open, a frame, closed (or could not open).
    void opened();
    void received(std::string_view frame);
    void closed(std::uint16_t code, std::string_view reason, double nowMs);

    // Called by the host twice a second or so, with a steady clock. A dropped connection is
    // opened again a second later while the server keeps the seat, and given up after 28 s
    // without a word from the server (it keeps the seat for 30). A server that has said nothing
    // for a while is sent a Ping, which it answers at once; one that leaves it unanswered
    // (stopped, or cut off without a close), or an attempt to connect that neither opens nor
    // fails, is taken for gone: the host is asked to drop it, and it counts as an abnormal
    // close. Only a call that comes on time gives up: after a stall of the host's own (or a
    // hidden tab's slowed timers) an answer may be waiting unread behind this call.
    void checkConnection(double nowMs);
    static constexpr double kPingAfterMs = 2000;
    static constexpr double kAnswerWithinMs = 4000;
    static constexpr double kOpenWithinMs = 6000;
    static constexpr double kOnTimeMs = 1500;  // since the call before
    static constexpr double kRetryAfterMs = 1000;
    static constexpr double kRetryForMs = 28000;

    // What the host does with its connection now; asked after every call, with the frames.
    ConnectionStep takeConnectionStep();
    // Where to connect: the server's WebSocket address, with the room in it once there is one.
    std::string socketUrl() const;

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
    // Whether the player is to send the friend the room's code and its link, and the link.
    bool invitesFriend() const { return phase_ == Phase::Waiting && inviting_; }
    std::string joinLink() const;
    // Whom the player plays and against whom, for the window's title.
    std::string matchLine() const;
    // For a test's log: the scene with the tick it stood at, while the scene on screen is the
    // one the server's last state gave; empty under a box, at the end, or before a state.
    std::string tickLine() const;

  private:
    enum class Request { None, Create, Join, Rejoin };
    enum class Attempt { None, Opening, Open };

    void send(const online::ClientMessage& message);
    void sendRequest();
    void openConnection();
    void dropConnection(double nowMs);
    void lost(std::uint16_t code, std::string_view reason, double nowMs);
    void retry(double nowMs);
    bool silent(double nowMs);
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

    std::string address_;  // as the host gave it: the server's, or one of its pages'
    std::string server_;   // the WebSocket address
    Phase phase_ = Phase::Connecting;
    Request request_ = Request::None;
    Attempt attempt_ = Attempt::None;
    ConnectionStep step_ = ConnectionStep::None;
    std::optional<double> retryAtMs_;
    std::optional<double> lostSinceMs_;  // the first drop since the server last said a word
    bool welcomed_ = false;              // by a server of this protocol, at least once
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
    bool inviting_ = false;             // seated as red in a room no match has been played in yet
    std::map<int, std::int16_t> held_;  // physical key -> the code sent with its press
    std::optional<online::client::KeyRepeat> repeat_;
    std::vector<std::string> outgoing_;
    bool heard_ = true;  // a sign of life (or a new attempt) since the host last asked
    double heardAtMs_ = 0;
    std::optional<double> pingedAtMs_;
    std::optional<double> checkedAtMs_;
};

// The phase's name, as the page's scripts and styles know it: "Connecting", "Lobby"...
std::string_view phaseName(MatchView::Phase phase);

// Puts the server's scene on the form's controls: the ball, both players and both counters.
void showScene(const online::Scene& scene, Controls& controls);

// One line for a test's log of what a client showed: the tick and the scene, numbers written
// as the replay tool writes them.
std::string describeScene(std::uint32_t tick, const online::Scene& scene);

}  // namespace voltaro::client
