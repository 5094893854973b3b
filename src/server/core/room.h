#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "online/protocol.h"
#include "server/core/lobby.h"
#include "server/core/match_host.h"

namespace voltaro::server {

// What every room of a lobby shares.
struct RoomContext {
    Transport& transport;
    const LobbyLimits& limits;
    SecretSource& random;
    RecordWriter* records;  // none: matches are not recorded
};

// One room: its code, the red seat (whoever created it), the blue seat (whoever joined it), the
// spectators, and its matches, one after the other. A room lives until a player leaves for good
// or does not come back in time.
class Room {
  public:
    Room(std::string code, RoomContext& context);
    Room(const Room&) = delete;
    Room& operator=(const Room&) = delete;

    const std::string& code() const { return code_; }

    void seatCreator(ConnectionId id, Duration now);
    // False when blue is taken already.
    bool seatJoiner(ConnectionId id, Duration now);
    // False when the room has as many spectators as it may.
    bool addSpectator(ConnectionId id, Duration now);
    // The seat whose token it is, now on connection `id`; nothing when no seat has that token.
    // A connection that still held the seat is named in `displaced`: the seat has only one, and
    // the lobby closes the other.
    std::optional<online::Seat> rejoin(ConnectionId id, std::string_view token, Duration now,
                                       std::optional<ConnectionId>& displaced);

    // A player's input, stamped by their match: taken into the match at its tick and sent to
    // every member, or turned away. False when turned away because the player holds as many
    // keys as a keyboard can.
    bool input(const online::Input& input, Duration now);
    // The connection's match went wrong: it gets the match again, as a late comer does.
    void resync(ConnectionId id);
    void boxOk(online::Seat player, std::uint32_t box, Duration now);
    void playAgain(online::Seat player, Duration now);

    // The connection dropped: a player's seat waits for their return; a spectator is gone.
    void disconnected(ConnectionId id, online::Seat seat, Duration now);
    // The connection leaves the room for good; for a player that closes the room.
    void left(ConnectionId id, online::Seat seat, Duration now);

    void advance(Duration now);
    Duration nextWakeUp() const;
    // Tells every client the room is gone; `closed()` from then on.
    void close(const std::string& reason);
    bool closed() const { return phase_ == Phase::Closed; }
    bool waitingForFriend() const;
    bool matchOpen() const { return match_ && !match_->ended(); }

    // The connections in the room: the players present, then the spectators.
    std::vector<ConnectionId> members() const;

    Duration scheduledWakeUp = Duration::max();  // where the lobby filed this room
    std::string quotaOf;  // the person (its creator) among whose rooms the lobby counts it

  private:
    enum class Phase { Waiting, Playing, Boxes, Over, Closed };
    struct Player {
        bool seated = false;
        std::optional<ConnectionId> connection;  // nothing while away
        std::string token;
        Duration returnBy{};
        bool pressedOk = false;
        bool wantsAgain = false;
        online::RepeatTiming repeat;  // the last settings, for the room's next match too
    };

    Player& player(online::Seat seat) { return players_[seat == online::Seat::Red ? 0 : 1]; }
    const Player& player(online::Seat seat) const {
        return players_[seat == online::Seat::Red ? 0 : 1];
    }
    void seat(online::Seat seat, ConnectionId id, Duration now);
    bool anyoneAway() const;

    void startMatch(Duration now);
    void finalise(Duration now);
    // The final tick as the clients are to hear it; from then on it is the last they heard.
    online::server::Final finalMessage();
    void showBoxesIfEnded(Duration now);
    void openBox(Duration now);
    void closeBox(Duration now);
    void pauseFor(online::Seat away, Duration now);
    void resumeFor(online::Seat back, ConnectionId id, Duration now);
    void catchUp(ConnectionId id);
    void offerReplay(Duration now);
    void sendReplay(ConnectionId id);
    void removeSpectator(ConnectionId id, Duration now);
    online::server::Watchers watchers() const;
    // Whether the room heard the count now.
    bool tellWatchers(Duration now);
    bool sendWatchers(Duration now);

    template <typename Visit>
    void forEachMember(Visit&& visit) const;
    void send(ConnectionId to, const online::ServerMessage& message);
    void broadcast(const online::ServerMessage& message);
    void broadcastExcept(ConnectionId skip, const online::ServerMessage& message);

    std::string code_;
    RoomContext& context_;
    Phase phase_ = Phase::Waiting;
    std::array<Player, 2> players_;
    std::vector<ConnectionId> spectators_;
    std::unique_ptr<MatchHost> match_;
    std::uint32_t matchNumber_ = 0;
    std::string replayId_;  // the present match's, which names its record
    // The room hears how many watch at most once a watchersEvery: a spectator coming and going
    // at its message rate would otherwise make every member of the room a message each time.
    std::uint32_t watchersTold_ = 0;
    Duration watchersNext_ = Duration::min();  // when the count may be told again
    Duration watchersDue_ = Duration::max();   // a change waits until then
    Duration replayDue_ = Duration::max();     // the writer is asked again then
    bool replayOffered_ = false;               // the ended match's record is served
    std::uint32_t finalSent_ = 0;              // the last final tick the members were told of
    std::size_t openBox_ = 0;                  // of the match's boxes, shown one by one
    std::uint32_t boxNumber_ = 0;  // the open box's number, counted over the room's life
    Duration boxCloses_{};
};

}  // namespace voltaro::server
