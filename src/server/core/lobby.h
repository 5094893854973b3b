#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "server/core/random_source.h"
#include "server/core/refusals.h"
#include "server/core/transport.h"

namespace voltaro::server {

class RecordWriter;

struct LobbyLimits {
    std::size_t maxRooms = 10000;                 // open rooms in this process
    Duration boxWait = std::chrono::seconds(15);  // a box closes when both OK'd or after this
    Duration reconnectWait = std::chrono::seconds(30);
    // Every room code starts with it: routes a room to its process behind a proxy.
    std::string codePrefix;
    std::size_t maxSpectators = 64;  // per room: each one costs the room a message every tick
    // A join without a code from a nearby peer takes the one room that waits for a friend: for
    // a server that a game hosts on a home network (voltaro --host), where the friend may know
    // only its address. From anywhere else a code is still needed.
    bool joinWithoutCode = false;

    // What one person (an address, an IPv6 /64) may do, so that nobody fills the server alone.
    // Rooms they created that are open, those that wait for their creator's return too:
    std::size_t roomsPerPerson = 4;
    int newRoomsPerMinute = 12;    // rooms they may open, a minute's share at once at most
    int wrongCodesPerMinute = 10;  // unknown codes they may try: a right one takes a seat
    // A connection that does not say hello, or that stays in the lobby in no room, is closed.
    Duration helloWait = std::chrono::seconds(10);
    Duration lobbyWait = std::chrono::seconds(120);
    // The quick match: a place in the queue is held this long at most; then the connection is
    // back in the lobby, with the lobby's wait to ask again. Each place spends one of the
    // person's new rooms and needs room for one more of theirs, as a create does: the two who
    // wait longest are paired at once, so one person waits in one place at a time at most
    // unless they pair with themselves, and every pair is a room among red's.
    Duration queueWait = std::chrono::minutes(10);
};

// The sans-IO match core: every room, seat and match of one server process. It knows no sockets,
// threads or clocks: the network layer passes in what happened and when, and the Lobby answers
// through the Transport.
class Lobby {
  public:
    // `records` writes every finished match (none: matches are not recorded); `refusals` counts
    // what the lobby turns away, without one it keeps its own.
    Lobby(Transport& transport, LobbyLimits limits, RecordWriter* records, SecretSource& random,
          Refusals* refusals = nullptr);
    ~Lobby();
    Lobby(const Lobby&) = delete;
    Lobby& operator=(const Lobby&) = delete;

    // `nearby`: the peer is on this machine or a private network (see joinWithoutCode).
    // `person`: the key its limits are counted under (personKey() of its address).
    void connected(ConnectionId id, Duration now, bool nearby = false, std::string person = {});
    void received(ConnectionId id, std::string_view message, Duration now);  // one text frame
    void disconnected(ConnectionId id, Duration now);  // the peer went away (not after close())
    void advance(Duration now);   // runs every tick, repeat and time-out due at `now`
    Duration nextWakeUp() const;  // Duration::max() when nothing is due
    void shutdown(Duration now);  // SIGTERM: tell every open match, write finished records
    std::size_t openRooms() const;
    std::size_t openMatches() const;
    std::size_t waitingForQuickMatch() const;
    const Refusals& refusals() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace voltaro::server
