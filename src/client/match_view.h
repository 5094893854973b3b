#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/join_link.h"
#include "client/predicted_match.h"
#include "client/server_clock.h"
#include "online/protocol.h"

namespace voltaro {
class Controls;
}

namespace voltaro::client {

// One player's view of an online match: the server's messages come in, and out come what the
// screen shows (the scene, a box, a sentence for the player) and the messages that the player's
// keys and buttons send. It knows no socket, clock or toolkit, so that the desktop game and the
// page show the same match the same way; the host carries the frames, says the time on its
// steady clock (in milliseconds) with each call that needs it, and draws.
//
// The match runs here too, on the server's inputs: the player's own keys move their piece at
// once, stamped with the tick the match is at, and the other player's, which come later, are
// played again from the last tick the server made final. Boxes and the end come from the server.
class MatchView {
  public:
    enum class Phase {
        Connecting,    // the first connection is being made
        Lobby,         // connected, no seat: a request was refused, another may be made
        Waiting,       // seated as red, the friend has not joined yet
        Queued,        // in the server's queue for a quick match: nobody has come yet
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
    // Watch the room `code` as a spectator: its matches, boxes and end as the players see them.
    void watch(std::string code);
    // A match with whoever else waits on the server: the view waits in its queue, and is seated
    // when someone comes. Leaving the queue gives up the place; a seat that crossed it on the
    // way is left at once.
    void quickMatch();
    void leaveQueue();

    // The connection, as the host's socket reports it: open, a frame, closed (or could not open).
    void opened();
    void received(std::string_view frame, double nowMs);
    void closed(std::uint16_t code, std::string_view reason, double nowMs);

    // Called by the host twice a second or so, with a steady clock. A dropped connection is
    // opened again a second later while the server keeps the seat, and given up after 28 s
    // without a word from the server (it keeps the seat for 30). A server that has said nothing
    // for a while is sent a Ping, which it answers at once; one that leaves it unanswered
    // (stopped, or cut off without a close), or an attempt to connect that neither opens nor
    // fails, is taken for gone: the host is asked to drop it, and it counts as an abnormal
    // close. Only a call that comes on time gives up: after a stall of the host's own (or a
    // hidden tab's slowed timers) an answer may be waiting unread behind this call. During a
    // match it also pings the server, to keep the clock in step with its: once a second until
    // the clock has its samples, then once every two seconds.
    void checkConnection(double nowMs);
    static constexpr double kPingAfterMs = 2000;
    static constexpr double kAnswerWithinMs = 4000;
    static constexpr double kOpenWithinMs = 6000;
    static constexpr double kOnTimeMs = 1500;  // since the call before
    static constexpr double kRetryAfterMs = 1000;
    static constexpr double kRetryForMs = 28000;
    static constexpr double kClockPingEveryMs = 1000;
    static constexpr double kSettledClockPingEveryMs = 2000;
    static constexpr int kClockPingsWhenSeated = 3;

    // Called by the host before it draws each frame while a match runs: the match is played on
    // to the present tick.
    void frame(double nowMs);

    // What the host does with its connection now; asked after every call, with the frames.
    ConnectionStep takeConnectionStep();
    // Where to connect: the server's WebSocket address, with the room in it once there is one.
    std::string socketUrl() const;

    // The player. `key` names the physical key (for its release); `code` is the classic host's
    // key code. Only a new press counts: the keyboard's own repeats are never to come here (the
    // match repeats a held key itself).
    void keyDown(int key, std::int16_t code, double nowMs);
    void keyUp(int key, double nowMs);
    void focusLost(double nowMs);
    // At the present tick of the last call that said the time.
    void setKeyRepeat(double delayMs, double intervalMs);
    void boxOk();
    void playAgain();
    void leave();

    // The frames to send, in order, since the last call.
    std::vector<std::string> takeOutgoing();
    // Whether anything the screen shows changed since the last call.
    bool takeChanged();

    Phase phase() const { return phase_; }
    // What the screen shows: the match at the present tick as this client plays it, a box's
    // scene under a box, the server's final scene at the end.
    const online::Scene& scene() const { return scene_; }
    // The tick the match on screen stands at.
    std::uint32_t tick() const;
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
    // The link to the replay of the match that just ended, once the server has recorded it;
    // empty before, and once another match starts.
    std::string replayLink() const;
    // Where the server serves that match's record, for a client that plays it itself.
    std::string replayRecordUrl() const;
    // The link to watch the room, offered beside the link to join.
    std::string watchLink() const;
    bool watching() const { return seat_ == online::Seat::Spectator; }
    // How many watch the room, as the server last said.
    std::uint32_t watchers() const { return watchers_; }
    // The line under the match about its audience: for a spectator who plays, for a player how
    // many watch (empty while nobody does).
    std::string watchLine() const;
    // How long the view has waited in the queue, as a player reads it ("1:05").
    static std::string waitWords(double waitedMs);
    // Whom the player plays and against whom, for the window's title.
    std::string matchLine() const;
    // For a test's log: the last tick the server made final, while the match is played, with
    // the scene of the match at it (which every client and the server's record agree on).
    std::optional<std::uint32_t> finalTick() const;
    online::Scene finalScene() const;
    // How often this client's match disagreed with a final tick of the server's (and so asked
    // for the server's), and the last tick at which it did.
    std::uint64_t mismatches() const { return mismatches_; }
    std::uint32_t lastMismatch() const { return lastMismatch_; }
    // How many of the player's own presses reached the match on screen, and the last one's code.
    std::uint64_t ownPresses() const { return ownPresses_; }
    std::int16_t lastOwnPress() const { return lastOwnPress_; }

  private:
    enum class Request { None, Create, Join, Rejoin, Watch, QuickMatch };
    enum class Attempt { None, Opening, Open };

    void send(const online::ClientMessage& message);
    void ping(double nowMs);
    void keepClockInStep(double nowMs);
    void sendKeyRepeat();
    std::optional<online::Seat> ownSeat() const;
    bool inMatch() const;
    std::uint32_t presentTick(double nowMs) const;
    // An input of the player's own at the present tick: applied at once, and sent.
    online::Input ownInput(online::Input::Kind kind, double nowMs);
    void play(const online::Input& input);
    void showPresent();
    void sendRequest();
    void openConnection();
    void dropConnection(double nowMs);
    void lost(std::uint16_t code, std::string_view reason, double nowMs);
    void retry(double nowMs);
    bool silent(double nowMs);
    void show(Phase phase, std::string status);
    std::string friendName() const;
    void showWait(double nowMs);

    void on(const online::server::Welcome&);
    void on(const online::server::Seated& m);
    void on(const online::server::MatchStarted& m);
    void on(const online::server::Input& m);
    void on(const online::server::Final& m);
    void on(const online::server::BoxOpened& m);
    void on(const online::server::BoxClosed& m);
    void on(const online::server::Paused& m);
    void on(const online::server::Resumed& m);
    void on(const online::server::GameOver& m);
    void on(const online::server::PlayAgainWanted& m);
    void on(const online::server::RoomClosed& m);
    void on(const online::server::Error& m);
    void on(const online::server::Pong& m);
    void on(const online::server::Replay& m);
    void on(const online::server::Queued& m);
    void on(const online::server::Watchers& m);
    void on(const online::server::Refused& m);

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
    std::unique_ptr<PredictedMatch> match_;  // from the match's start on
    std::int64_t startUs_ = 0;               // its tick 0 on the server's clock
    bool resyncing_ = false;  // asked for the match again: what comes before it is of no use
    ServerClock clock_;
    std::vector<double> pingsOut_;  // when each unanswered Ping went (Pongs come in order)
    std::optional<double> clockPingedAtMs_;
    double nowMs_ = 0;       // the last time a call said
    std::uint32_t seq_ = 0;  // the player's own inputs so far
    std::uint64_t mismatches_ = 0;
    std::uint32_t lastMismatch_ = 0;
    std::uint64_t ownPresses_ = 0;
    std::int16_t lastOwnPress_ = 0;
    std::uint32_t matchNumber_ = 0;
    std::uint32_t box_ = 0;
    std::string boxText_;
    std::string lastBoxText_;
    bool boxAnswered_ = false;
    std::string awayReason_;
    std::string status_ = "Connecting to the server...";
    std::string code_;
    std::string token_;
    std::string replayId_;  // the ended match's, as the server named its record
    std::optional<online::Seat> seat_;
    bool inviting_ = false;   // seated as red in a room no match has been played in yet
    bool quick_ = false;      // the room came from the queue: there is no friend to invite
    bool queueLeft_ = false;  // a seat that comes now crossed the leaving on the way
    double queuedAtMs_ = 0;
    std::uint32_t watchers_ = 0;
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
