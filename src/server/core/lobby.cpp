#include "server/core/lobby.h"

#include <fmt/format.h>

#include <algorithm>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "online/protocol.h"
#include "server/core/close_reason.h"
#include "server/core/deadlines.h"
#include "server/core/match_queue.h"
#include "server/core/person_allowance.h"
#include "server/core/room.h"
#include "server/core/room_code.h"

namespace voltaro::server {

namespace {

using online::Seat;
namespace close_code = online::close_code;

// Codes are drawn until one is free; with a billion codes and at most the room limit in use,
// running out of tries means the random source is broken, not that the server is full.
constexpr int kCodeTries = 64;

// The window over which a person's new rooms and wrong codes are counted.
constexpr Duration kQuotaWindow = std::chrono::minutes(1);

// A correct client asks for the match again only when its own went wrong, which never happens;
// one that asks on and on gets it once a second, not a state for every message it may send.
constexpr Duration kResyncEvery = std::chrono::seconds(1);

long long wholeSeconds(Duration span) {
    return std::chrono::duration_cast<std::chrono::seconds>(span).count();
}

// A wait as a player reads it: "10 minutes", or "45 s" for one that is not whole minutes.
std::string waitWords(Duration span) {
    const long long seconds = wholeSeconds(span);
    if (seconds >= 60 && seconds % 60 == 0) {
        return fmt::format("{} minute{}", seconds / 60, seconds == 60 ? "" : "s");
    }
    return fmt::format("{} s", seconds);
}

// Where one connection stands in the lobby: greeted or not, whose it is, its room and seat.
struct Standing {
    bool greeted = false;
    bool nearby = false;  // on this machine or a private network
    std::string person;   // whose limits it counts against
    Room* room = nullptr;
    Seat seat = Seat::Spectator;
    Duration nextResync{};  // the earliest a resync is answered again
};

}  // namespace

struct Lobby::State {
    State(Transport& transport, LobbyLimits limits, RecordWriter* records, SecretSource& random,
          Refusals* given)
        : refusals(given ? *given : ownRefusals),
          limits(std::move(limits)),
          context{transport, this->limits, random, records},
          newRooms(this->limits.newRoomsPerMinute, kQuotaWindow),
          wrongCodes(this->limits.wrongCodesPerMinute, kQuotaWindow) {
        this->limits.codePrefix = normalisedRoomCode(this->limits.codePrefix);
    }

    Refusals ownRefusals;
    Refusals& refusals;
    LobbyLimits limits;
    RoomContext context;
    std::unordered_map<ConnectionId, Standing> connections;
    std::unordered_map<std::string, std::unique_ptr<Room>> rooms;
    std::set<std::pair<Duration, Room*>> wakeUps;  // every room with something due, soonest first
    std::vector<Room*> due;
    std::size_t openMatches = 0;
    // When each connection that is not in a room is closed: without hello, or in the lobby.
    Deadlines deadlines;
    PersonAllowance newRooms;
    PersonAllowance wrongCodes;
    std::unordered_map<std::string, std::size_t> roomsHeld;  // open rooms by their creator
    MatchQueue queue;                                        // who waits for a quick match

    Transport& transport() { return context.transport; }

    void send(ConnectionId to, const online::ServerMessage& message) {
        transport().send(to, online::write(message));
    }

    // Closes a misbehaving or displaced connection; the room sees it as gone.
    void closeConnection(ConnectionId id, std::uint16_t code, const std::string& reason,
                         Duration now) {
        const auto found = connections.find(id);
        if (found == connections.end()) {
            return;
        }
        Room* room = found->second.room;
        const Seat seat = found->second.seat;
        forget(found);
        transport().close(id, code, closeReason(reason));
        if (room) {
            room->disconnected(id, seat, now);
            settle(*room, now);
        }
    }

    void forget(std::unordered_map<ConnectionId, Standing>::iterator connection) {
        deadlines.clear(connection->first);
        queue.remove(connection->first);
        connections.erase(connection);
    }

    // Greeted and in no room: it has the lobby's wait to find one.
    void backInLobby(ConnectionId id, Standing& connection, Duration now) {
        connection.room = nullptr;
        deadlines.set(id, now + limits.lobbyWait);
    }

    // A connection whose deadline came: one that never said hello, or sat in the lobby.
    void expire(ConnectionId id, Duration now) {
        const auto found = connections.find(id);
        if (found == connections.end() || found->second.room) {
            return;
        }
        if (queue.remove(id)) {
            send(id, online::server::Error{"Nobody came to play within " +
                                           waitWords(limits.queueWait) + ": try again later"});
            backInLobby(id, found->second, now);
            return;
        }
        refusals.count(Refusal::Idle, found->second.person, now);
        const std::string reason =
            found->second.greeted
                ? fmt::format("No room was created, joined or watched within {} s",
                              wholeSeconds(limits.lobbyWait))
                : fmt::format("No hello came within {} s", wholeSeconds(limits.helloWait));
        closeConnection(id, close_code::kIdle, reason, now);
    }

    // Files the room under its next wake-up, or removes it once it has closed. Most messages
    // (a player's key) leave the wake-up where it was, and the room where it is filed.
    void settle(Room& room, Duration now) {
        if (room.closed()) {
            wakeUps.erase({room.scheduledWakeUp, &room});
            for (const ConnectionId id : room.members()) {
                if (const auto c = connections.find(id); c != connections.end()) {
                    backInLobby(id, c->second, now);
                }
            }
            removeRoom(room);
            return;
        }
        const Duration next = room.nextWakeUp();
        if (next == room.scheduledWakeUp) {
            return;
        }
        wakeUps.erase({room.scheduledWakeUp, &room});
        room.scheduledWakeUp = next;
        if (next != Duration::max()) {
            wakeUps.insert({next, &room});
        }
    }

    void removeRoom(Room& room) {
        if (const auto held = roomsHeld.find(room.quotaOf); held != roomsHeld.end()) {
            if (--held->second == 0) {
                roomsHeld.erase(held);
            }
        }
        // The code lives in the room that goes with it: erased by a copy.
        const std::string code = room.code();
        rooms.erase(code);
    }

    // Whether the person may try another code: a guesser is turned away before any lookup.
    bool mayTryCodes(ConnectionId id, const Standing& connection, Duration now) {
        if (wrongCodes.left(connection.person, now)) {
            return true;
        }
        refusals.count(Refusal::CodeGuesses, connection.person, now);
        send(id, online::server::Error{"Too many wrong codes: wait a minute and try again"});
        return false;
    }

    // The room with that code; a miss is spent from the person's wrong codes.
    Room* findRoom(const std::string& typed, const Standing& connection, Duration now) {
        const auto found = rooms.find(normalisedRoomCode(typed));
        if (found == rooms.end()) {
            wrongCodes.take(connection.person, now);
            return nullptr;
        }
        return found->second.get();
    }

    void enter(ConnectionId id, Standing& connection, Room& room, Seat seat) {
        connection.room = &room;
        connection.seat = seat;
        deadlines.clear(id);
    }

    // Why this person may hold no more rooms; nothing when they may.
    const char* heldRefusal(const std::string& person) const {
        const auto held = roomsHeld.find(person);
        if (held != roomsHeld.end() && held->second >= limits.roomsPerPerson) {
            return "You have as many rooms open as one player may: leave one, or wait until "
                   "it closes";
        }
        return nullptr;
    }

    // Why this person may not open another room now; nothing when they may (and one of their
    // new rooms is spent).
    const char* roomRefusal(const Standing& connection, Duration now) {
        if (const char* held = heldRefusal(connection.person)) {
            return held;
        }
        if (!newRooms.take(connection.person, now)) {
            return "You opened too many rooms in a short while: wait a minute and try again";
        }
        return nullptr;
    }

    // Refuses what would open a room when the process has as many as it may, or this person as
    // many as they may; true when it refused, and the connection was told why.
    bool refusedRoom(ConnectionId id, const Standing& connection, Duration now) {
        if (rooms.size() >= limits.maxRooms) {
            send(id, online::server::Error{"The server is full: try again in a while"});
            return true;
        }
        if (const char* refusal = roomRefusal(connection, now)) {
            refusals.count(Refusal::RoomQuota, connection.person, now);
            send(id, online::server::Error{refusal});
            return true;
        }
        return false;
    }

    // A new room with a code no open room has, counted among `person`'s rooms; nothing when no
    // code is free.
    Room* openRoom(const std::string& person) {
        std::string code;
        for (int tries = 0; tries < kCodeTries && (code.empty() || rooms.contains(code)); ++tries) {
            code = newRoomCode(context.random, limits.codePrefix);
        }
        if (rooms.contains(code)) {
            return nullptr;
        }
        auto& room = *rooms.emplace(code, std::make_unique<Room>(code, context)).first->second;
        room.quotaOf = person;
        ++roomsHeld[person];
        return &room;
    }

    void create(ConnectionId id, Standing& connection, Duration now) {
        if (refusedRoom(id, connection, now)) {
            return;
        }
        Room* room = openRoom(connection.person);
        if (!room) {
            send(id, online::server::Error{"No room code is free: try again in a while"});
            return;
        }
        enter(id, connection, *room, Seat::Red);
        room->seatCreator(id, now);
        settle(*room, now);
    }

    // A place in the queue costs what a room costs: the match it leads to opens one. The lobby's
    // wait gives way to the queue's while the place is held.
    void enqueue(ConnectionId id, Standing& connection, Duration now) {
        if (refusedRoom(id, connection, now)) {
            return;
        }
        queue.add(id, connection.person);
        deadlines.set(id, now + limits.queueWait);
        send(id,
             online::server::Queued{static_cast<std::uint32_t>(wholeSeconds(limits.queueWait))});
        pairWaiting(now);
    }

    // Out of the queue, and told why.
    void dropFromQueue(ConnectionId id, const char* reason, Duration now) {
        queue.remove(id);
        send(id, online::server::Error{reason});
        if (const auto c = connections.find(id); c != connections.end()) {
            backInLobby(id, c->second, now);
        }
    }

    // The two who have waited longest play each other, the longer waiting as red, in a room
    // counted among red's. One who may hold no more rooms by now (they opened others meanwhile)
    // gives up their place to the next.
    void pairWaiting(Duration now) {
        while (queue.size() >= 2 && rooms.size() < limits.maxRooms) {
            const MatchQueue::Place& first = *queue.first();
            if (const char* refusal = heldRefusal(first.person)) {
                refusals.count(Refusal::RoomQuota, first.person, now);
                dropFromQueue(first.id, refusal, now);
                continue;
            }
            const auto pair = queue.takePair();
            Room* room = openRoom(pair->first.person);
            if (!room) {
                for (const ConnectionId id : {pair->first.id, pair->second.id}) {
                    dropFromQueue(id, "No room code is free: try again in a while", now);
                }
                return;
            }
            seatQueued(pair->first.id, *room, Seat::Red, now);
            seatQueued(pair->second.id, *room, Seat::Blue, now);
            settle(*room, now);
        }
    }

    void seatQueued(ConnectionId id, Room& room, Seat seat, Duration now) {
        Standing& connection = connections.at(id);  // a connection that goes leaves the queue
        enter(id, connection, room, seat);
        if (seat == Seat::Red) {
            room.seatCreator(id, now);
        } else {
            room.seatJoiner(id, now);
        }
    }

    // Gives up the connection's place, if it has one: it is back in the lobby, with the lobby's
    // wait to find a room.
    bool leaveQueue(ConnectionId id, Standing& connection, Duration now) {
        if (!queue.remove(id)) {
            return false;
        }
        backInLobby(id, connection, now);
        return true;
    }

    // The one room that waits for a friend, if there is just one.
    Room* waitingRoom() {
        Room* found = nullptr;
        for (auto& [code, room] : rooms) {
            if (room->waitingForFriend()) {
                if (found) {
                    return nullptr;
                }
                found = room.get();
            }
        }
        return found;
    }

    void join(ConnectionId id, Standing& connection, const std::string& code, bool watch,
              Duration now) {
        if (code.empty() && !watch) {
            const bool offered = limits.joinWithoutCode && connection.nearby;
            if (Room* room = offered ? waitingRoom() : nullptr) {
                return join(id, connection, room->code(), false, now);
            }
            send(id, online::server::Error{offered ? "No single match here waits for a friend: "
                                                     "type its code"
                                                   : "Type the code of the match, or paste its "
                                                     "link"});
            return;
        }
        if (!mayTryCodes(id, connection, now)) {
            return;
        }
        Room* room = findRoom(code, connection, now);
        if (!room) {
            send(id, online::server::Error{"No room has that code"});
            return;
        }
        if (watch && room->addSpectator(id, now)) {
            enter(id, connection, *room, Seat::Spectator);
        } else if (watch) {
            send(id, online::server::Error{"That room has as many spectators as it can take"});
            return;
        } else if (room->seatJoiner(id, now)) {
            enter(id, connection, *room, Seat::Blue);
        } else {
            send(id, online::server::Error{"That room has both its players: watch it instead"});
            return;
        }
        settle(*room, now);
    }

    void rejoin(ConnectionId id, Standing& connection, const online::client::Rejoin& m,
                Duration now) {
        if (!mayTryCodes(id, connection, now)) {
            return;
        }
        Room* room = findRoom(m.code, connection, now);
        if (!room) {
            send(id, online::server::Error{"No room has that code: the match is over"});
            return;
        }
        std::optional<ConnectionId> displaced;
        const auto seat = room->rejoin(id, m.token, now, displaced);
        if (!seat) {
            // A correct client only ever has the token the server gave it.
            closeConnection(id, close_code::kOutOfPlace, "no seat in this room has that token",
                            now);
            return;
        }
        enter(id, connection, *room, *seat);
        if (displaced) {
            if (const auto old = connections.find(*displaced); old != connections.end()) {
                forget(old);
            }
            transport().close(*displaced, close_code::kSeatTakenOver,
                              "Your seat was taken over by a new connection");
        }
        settle(*room, now);
    }

    void received(ConnectionId id, Standing& connection, const online::ClientMessage& message,
                  Duration now);
    struct Dispatch;
};

// What one message does, for one connection; the lobby settles the room afterwards.
struct Lobby::State::Dispatch {
    Lobby::State& lobby;
    ConnectionId id;
    Standing& connection;
    Duration now;

    bool outOfPlace(const char* reason) {
        lobby.closeConnection(id, close_code::kOutOfPlace, reason, now);
        return false;
    }

    bool inLobbyOrClosed(const char* what) {
        if (connection.room) {
            return outOfPlace(what);
        }
        if (lobby.queue.contains(id)) {
            return outOfPlace("a request while waiting for a quick match");
        }
        return true;
    }

    // Messages for a room that has closed meanwhile crossed its closing on the way: no fault.
    Room* playerRoom(const char* what) {
        if (connection.room && connection.seat == Seat::Spectator) {
            outOfPlace(what);
            return nullptr;
        }
        return connection.room;
    }

    void operator()(const online::client::Hello&) { outOfPlace("hello was sent twice"); }
    void operator()(const online::client::Create&) {
        if (inLobbyOrClosed("create while in a room")) {
            lobby.create(id, connection, now);
        }
    }
    void operator()(const online::client::Join& m) {
        if (inLobbyOrClosed("join while in a room")) {
            lobby.join(id, connection, m.code, false, now);
        }
    }
    void operator()(const online::client::Watch& m) {
        if (inLobbyOrClosed("watch while in a room")) {
            lobby.join(id, connection, m.code, true, now);
        }
    }
    void operator()(const online::client::Rejoin& m) {
        if (inLobbyOrClosed("rejoin while in a room")) {
            lobby.rejoin(id, connection, m, now);
        }
    }
    // A player's input; a spectator has no keys to press, but may have lost the focus or
    // changed its repeat settings like anyone.
    void input(online::Input::Kind kind, std::uint32_t tick, std::uint32_t seq,
               online::Input settings = {}) {
        const bool spectator = connection.room && connection.seat == Seat::Spectator;
        if (spectator && kind != online::Input::Kind::KeyDown &&
            kind != online::Input::Kind::KeyUp) {
            return;
        }
        Room* room = playerRoom("a spectator has no keys");
        if (!room) {
            return;
        }
        settings.kind = kind;
        settings.seat = connection.seat;
        settings.tick = tick;
        settings.seq = seq;
        if (!room->input(settings, now)) {
            lobby.refusals.count(Refusal::HeldKeys, connection.person, now);
        }
    }
    void operator()(const online::client::KeyDown& m) {
        input(online::Input::Kind::KeyDown, m.tick, m.seq, {.key = m.code});
    }
    void operator()(const online::client::KeyUp& m) {
        input(online::Input::Kind::KeyUp, m.tick, m.seq, {.key = m.code});
    }
    void operator()(const online::client::KeyRepeat& m) {
        const online::RepeatTiming repeat = online::clampedRepeat(m.delayMs, m.intervalMs);
        input(online::Input::Kind::KeyRepeat, m.tick, m.seq,
              {.delayUs = repeat.delayUs, .intervalUs = repeat.intervalUs});
    }
    void operator()(const online::client::FocusLost& m) {
        input(online::Input::Kind::FocusLost, m.tick, m.seq);
    }
    void operator()(const online::client::BoxOk& m) {
        if (Room* room = playerRoom("a spectator answers no box")) {
            room->boxOk(connection.seat, m.box, now);
        }
    }
    void operator()(const online::client::PlayAgain&) {
        if (Room* room = playerRoom("a spectator does not play")) {
            room->playAgain(connection.seat, now);
        }
    }
    void operator()(const online::client::Leave&) {
        if (lobby.leaveQueue(id, connection, now)) {
            return;
        }
        if (Room* room = connection.room) {
            lobby.backInLobby(id, connection, now);
            room->left(id, connection.seat, now);
        }
    }
    // The server's clock, which the match's start time is on too: the client keeps in step
    // with it.
    void operator()(const online::client::Ping&) {
        lobby.send(id, online::server::Pong{
                           std::chrono::duration_cast<std::chrono::microseconds>(now).count()});
    }
    void operator()(const online::client::Resync&) {
        if (connection.room && now >= connection.nextResync) {
            connection.nextResync = now + kResyncEvery;
            connection.room->resync(id);
        }
    }
    void operator()(const online::client::QuickMatch&) {
        if (inLobbyOrClosed("quickMatch while in a room")) {
            lobby.enqueue(id, connection, now);
        }
    }
    // One that crossed its seating on the way changes nothing: the client, seated, leaves the
    // room instead.
    void operator()(const online::client::LeaveQueue&) { lobby.leaveQueue(id, connection, now); }
};

void Lobby::State::received(ConnectionId id, Standing& connection,
                            const online::ClientMessage& message, Duration now) {
    const std::string before = connection.room ? connection.room->code() : std::string();
    std::visit(Dispatch{*this, id, connection, now}, message);
    // The connection may be gone now (closed), and with it `connection`; the room it was in
    // may be gone too. What is left of it is settled.
    if (const auto room = rooms.find(before); !before.empty() && room != rooms.end()) {
        settle(*room->second, now);
    }
}

Lobby::Lobby(Transport& transport, LobbyLimits limits, RecordWriter* records, SecretSource& random,
             Refusals* refusals)
    : state_(std::make_unique<State>(transport, std::move(limits), records, random, refusals)) {}

Lobby::~Lobby() = default;

void Lobby::connected(ConnectionId id, Duration now, bool nearby, std::string person) {
    state_->connections[id] = Standing{.nearby = nearby, .person = std::move(person)};
    state_->deadlines.set(id, now + state_->limits.helloWait);
}

void Lobby::received(ConnectionId id, std::string_view message, Duration now) {
    State& s = *state_;
    const auto found = s.connections.find(id);
    if (found == s.connections.end()) {
        return;  // closed already: the rest of what it sent is of no account
    }
    Standing& connection = found->second;
    std::string problem;
    const auto parsed = online::readClientMessage(message, problem);
    if (!parsed) {
        s.refusals.count(Refusal::Malformed, connection.person, now);
        s.closeConnection(id, close_code::kMalformed, "malformed message: " + problem, now);
        return;
    }
    if (!connection.greeted) {
        const auto* hello = std::get_if<online::client::Hello>(&*parsed);
        if (!hello) {
            s.refusals.count(Refusal::Malformed, connection.person, now);
            s.closeConnection(id, close_code::kOutOfPlace, "the first message must be hello", now);
            return;
        }
        if (hello->version != online::kProtocolVersion) {
            const std::string text = "This server speaks version " +
                                     std::to_string(online::kProtocolVersion) +
                                     " of the online protocol and this game version " +
                                     std::to_string(hello->version) + ": update the game";
            s.send(id, online::server::Error{text});
            s.closeConnection(id, close_code::kVersion, text, now);
            return;
        }
        connection.greeted = true;
        s.backInLobby(id, connection, now);
        s.send(id, online::server::Welcome{});
        return;
    }
    s.received(id, connection, *parsed, now);
}

void Lobby::disconnected(ConnectionId id, Duration now) {
    State& s = *state_;
    const auto found = s.connections.find(id);
    if (found == s.connections.end()) {
        return;
    }
    Room* room = found->second.room;
    const Seat seat = found->second.seat;
    s.forget(found);
    if (room) {
        room->disconnected(id, seat, now);
        s.settle(*room, now);
    }
}

void Lobby::advance(Duration now) {
    State& s = *state_;
    while (const auto id = s.deadlines.takeDue(now)) {
        s.expire(*id, now);
    }
    s.due.clear();
    for (auto it = s.wakeUps.begin(); it != s.wakeUps.end() && it->first <= now; ++it) {
        s.due.push_back(it->second);
    }
    for (Room* room : s.due) {
        room->advance(now);
        s.settle(*room, now);
    }
}

Duration Lobby::nextWakeUp() const {
    const Duration room =
        state_->wakeUps.empty() ? Duration::max() : state_->wakeUps.begin()->first;
    return std::min(room, state_->deadlines.next());
}

void Lobby::shutdown(Duration) {
    State& s = *state_;
    for (auto& [code, room] : s.rooms) {
        room->close("The server is shutting down");
    }
    s.rooms.clear();
    s.roomsHeld.clear();
    s.wakeUps.clear();
    s.deadlines.clearAll();
    s.queue = {};
    for (const auto& [id, connection] : s.connections) {
        s.transport().close(id, close_code::kGoingAway, "The server is shutting down");
    }
    s.connections.clear();
}

std::size_t Lobby::openRooms() const {
    return state_->rooms.size();
}

std::size_t Lobby::waitingForQuickMatch() const {
    return state_->queue.size();
}

const Refusals& Lobby::refusals() const {
    return state_->refusals;
}

std::size_t Lobby::openMatches() const {
    std::size_t open = 0;
    for (const auto& [code, room] : state_->rooms) {
        open += room->matchOpen() ? 1 : 0;
    }
    return open;
}

}  // namespace voltaro::server
