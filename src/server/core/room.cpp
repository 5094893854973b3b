#include "server/core/room.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "server/core/record_writer.h"
#include "server/core/room_code.h"

namespace voltaro::server {

namespace {

using online::Seat;

// How often at most a room hears a new count of those who watch it.
constexpr Duration kWatchersEvery = std::chrono::seconds(1);
constexpr Duration kReplayAskEvery = std::chrono::milliseconds(20);
namespace msg = online::server;

std::string colourOf(Seat seat) {
    return std::string(online::colourName(seat));
}

std::string awayReason(Seat seat) {
    return colourOf(seat) + " left the match";
}

}  // namespace

Room::Room(std::string code, RoomContext& context) : code_(std::move(code)), context_(context) {}

template <typename Visit>
void Room::forEachMember(Visit&& visit) const {
    for (const Player& p : players_) {
        if (p.connection) {
            visit(*p.connection);
        }
    }
    for (const ConnectionId id : spectators_) {
        visit(id);
    }
}

void Room::seat(Seat seat, ConnectionId id, Duration now) {
    Player& p = player(seat);
    p.seated = true;
    p.connection = id;
    p.token = newSeatToken(context_.random);
    send(id, msg::Seated{code_, seat, p.token});
    (void)now;
}

void Room::seatCreator(ConnectionId id, Duration now) {
    seat(Seat::Red, id, now);
}

bool Room::seatJoiner(ConnectionId id, Duration now) {
    if (player(Seat::Blue).seated || phase_ != Phase::Waiting) {
        return false;
    }
    seat(Seat::Blue, id, now);
    startMatch(now);
    if (!spectators_.empty()) {
        send(id, watchers());  // those who came to watch before the friend did
    }
    return true;
}

bool Room::waitingForFriend() const {
    return phase_ == Phase::Waiting && !player(Seat::Blue).seated;
}

bool Room::addSpectator(ConnectionId id, Duration now) {
    if (spectators_.size() >= context_.limits.maxSpectators) {
        return false;
    }
    spectators_.push_back(id);
    send(id, msg::Seated{code_, Seat::Spectator, {}});
    catchUp(id);
    // The new spectator hears the count once: with the room, or on its own when the room
    // hears it later or not at all.
    if (!tellWatchers(now)) {
        send(id, watchers());
    }
    return true;
}

std::optional<Seat> Room::rejoin(ConnectionId id, std::string_view token, Duration now,
                                 std::optional<ConnectionId>& displaced) {
    for (const Seat seat : {Seat::Red, Seat::Blue}) {
        Player& p = player(seat);
        if (!p.seated || !sameToken(p.token, token)) {
            continue;
        }
        displaced = p.connection;  // one that has not noticed yet that it is dead
        const bool wasAway = !p.connection;
        p.connection = id;
        send(id, msg::Seated{code_, seat, p.token});
        if (wasAway) {
            resumeFor(seat, id, now);
        }
        catchUp(id);
        if (!spectators_.empty()) {
            send(id, watchers());
        }
        return seat;
    }
    return std::nullopt;
}

bool Room::input(const online::Input& input, Duration now) {
    if (phase_ != Phase::Playing || !match_) {
        return true;  // it crossed the match's end on the way
    }
    const MatchHost::Taking taking = match_->take(input, now);
    const std::optional<ConnectionId> sender = player(input.seat).connection;
    if (taking.verdict != InputGate::Verdict::Taken) {
        if (sender) {
            send(*sender, msg::Refused{input.seq});  // so that its own match drops it
        }
        return taking.verdict != InputGate::Verdict::TooManyKeys;
    }
    player(input.seat).repeat = match_->repeat(input.seat);
    // The sender played it at its stamp already: only a place elsewhere is news to it. Every
    // send saved is one less for the kernel, which is what a server of many matches spends
    // its time on.
    if (taking.placedElsewhere || !sender) {
        broadcast(msg::Input{taking.input});
    } else {
        broadcastExcept(*sender, msg::Input{taking.input});
    }
    return true;
}

void Room::resync(ConnectionId id) {
    catchUp(id);
}

// An OK for a box that has closed meanwhile (the other player's OK, or the wait) is no fault:
// it crossed the box's closing on the way.
void Room::boxOk(Seat seat, std::uint32_t box, Duration now) {
    if (phase_ != Phase::Boxes || box != boxNumber_) {
        return;
    }
    player(seat).pressedOk = true;
    if (player(Seat::Red).pressedOk && player(Seat::Blue).pressedOk) {
        closeBox(now);
    }
}

void Room::playAgain(Seat seat, Duration now) {
    if (phase_ != Phase::Over || player(seat).wantsAgain) {
        return;
    }
    player(seat).wantsAgain = true;
    broadcast(msg::PlayAgainWanted{seat});
    if (player(Seat::Red).wantsAgain && player(Seat::Blue).wantsAgain) {
        startMatch(now);
    }
}

void Room::disconnected(ConnectionId id, Seat seat, Duration now) {
    if (seat == Seat::Spectator) {
        removeSpectator(id, now);
        return;
    }
    Player& p = player(seat);
    if (p.connection != id) {
        return;  // a connection that lost its seat to a newer one
    }
    p.connection.reset();
    p.returnBy = now + context_.limits.reconnectWait;
    pauseFor(seat, now);
}

void Room::left(ConnectionId id, Seat seat, Duration now) {
    if (seat == Seat::Spectator) {
        removeSpectator(id, now);
        return;
    }
    if (player(seat).connection != id) {
        return;
    }
    player(seat).connection.reset();
    (void)now;
    close(colourOf(seat) + " left the room");
}

void Room::removeSpectator(ConnectionId id, Duration now) {
    if (std::erase(spectators_, id) > 0) {
        tellWatchers(now);
    }
}

msg::Watchers Room::watchers() const {
    return {static_cast<std::uint32_t>(spectators_.size())};
}

// The players see how many watch them; the spectators see it too, in the same message. A
// change soon after the last one told waits for the rest of the second, and goes out only if
// the count then differs from what the room last heard.
bool Room::tellWatchers(Duration now) {
    if (now >= watchersNext_) {
        return sendWatchers(now);
    }
    watchersDue_ = watchersNext_;
    return false;
}

bool Room::sendWatchers(Duration now) {
    watchersDue_ = Duration::max();
    const msg::Watchers count = watchers();
    if (phase_ == Phase::Closed || count.count == watchersTold_) {
        return false;
    }
    broadcast(count);
    watchersTold_ = count.count;
    watchersNext_ = now + kWatchersEvery;
    return true;
}

void Room::startMatch(Duration now) {
    ++matchNumber_;
    replayId_ = newReplayId(context_.random, context_.limits.codePrefix);
    replayOffered_ = false;
    replayDue_ = Duration::max();
    MatchRecord record(context_.records, replayId_ + ".replay");
    // Not the room's code: a record is served to whoever holds its link, and the code would let
    // them into the room's later matches.
    record.comment(fmt::format("voltaro match record: match {} of its room", matchNumber_));
    match_ = std::make_unique<MatchHost>(
        now, std::move(record), std::array{player(Seat::Red).repeat, player(Seat::Blue).repeat});
    for (Player& p : players_) {
        p.wantsAgain = false;
    }
    openBox_ = 0;
    finalSent_ = 0;
    phase_ = Phase::Playing;
    broadcast(
        msg::MatchStarted{matchNumber_, match_->startUs(), match_->finalTick(), match_->state()});
    for (const Seat seat : {Seat::Red, Seat::Blue}) {
        if (!player(seat).connection) {
            pauseFor(seat, now);
        }
    }
}

// The ticks the window has passed become final; the clients hear of them in batches of
// kFinalEveryTicks, each a send to every member, and check their own copies against the digest.
// A box the final match opened ends the play, and is news at once.
void Room::finalise(Duration now) {
    if (!match_->finalise(now)) {
        return;
    }
    const auto batch = [](std::uint32_t tick) { return tick / online::kFinalEveryTicks; };
    if (match_->ended() || batch(match_->finalTick()) > batch(finalSent_)) {
        broadcast(finalMessage());
        showBoxesIfEnded(now);
    }
}

msg::Final Room::finalMessage() {
    finalSent_ = match_->finalTick();
    return {finalSent_, match_->digest(), match_->lastSeq(Seat::Red), match_->lastSeq(Seat::Blue)};
}

// A box the final match opened ends the play: its boxes are shown, one by one.
void Room::showBoxesIfEnded(Duration now) {
    if (match_->ended()) {
        phase_ = Phase::Boxes;
        openBox(now);
    }
}

// The clients see each box over its own scene; the scene after the procedure comes with the
// end of the last box.
void Room::openBox(Duration now) {
    const auto& boxes = match_->boxes();
    if (openBox_ >= boxes.size()) {
        phase_ = Phase::Over;
        broadcast(msg::GameOver{match_->scene()});
        offerReplay(now);
        return;
    }
    ++boxNumber_;
    for (Player& p : players_) {
        p.pressedOk = false;
    }
    boxCloses_ = now + context_.limits.boxWait;
    const auto& box = boxes[openBox_];
    broadcast(msg::BoxOpened{boxNumber_, box.text, box.scene});
}

void Room::closeBox(Duration now) {
    broadcast(msg::BoxClosed{boxNumber_});
    ++openBox_;
    openBox(now);
}

// A player away stops the match: every tick up to the present is final, a pause at its end.
// After the end there is no match to stop, but the others are told all the same.
void Room::pauseFor(Seat away, Duration now) {
    if (!match_) {
        return;
    }
    if (phase_ != Phase::Playing || match_->paused()) {
        broadcast(msg::Paused{awayReason(away), match_->finalTick()});
        return;
    }
    broadcast(msg::Paused{awayReason(away), match_->pause(now)});
    broadcast(finalMessage());
    showBoxesIfEnded(now);  // the ticks made final at once may have met a box
}

// The player on connection `id` is back. Once nobody is away the match goes on after the present
// tick, and the others are told; the player gets the match itself afterwards. While the other
// player is still away, or after the end, nothing resumes.
void Room::resumeFor(Seat back, ConnectionId id, Duration now) {
    if (!match_ || anyoneAway()) {
        return;
    }
    if (phase_ != Phase::Playing) {
        broadcastExcept(id, msg::Resumed{colourOf(back) + " is back", match_->finalTick()});
        return;
    }
    broadcastExcept(id, msg::Resumed{colourOf(back) + " is back", match_->resume(now)});
    broadcastExcept(id, finalMessage());
}

bool Room::anyoneAway() const {
    return std::any_of(players_.begin(), players_.end(),
                       [](const Player& p) { return p.seated && !p.connection; });
}

// A client that arrives in the middle, or whose match went wrong: the final match, the inputs
// taken since, and what the others see besides.
void Room::catchUp(ConnectionId id) {
    if (!match_ || phase_ == Phase::Waiting || phase_ == Phase::Closed) {
        return;
    }
    send(id,
         msg::MatchStarted{matchNumber_, match_->startUs(), match_->finalTick(), match_->state()});
    for (const online::Input& input : match_->openInputs()) {
        send(id, msg::Input{input});
    }
    if (phase_ == Phase::Boxes) {
        const auto& box = match_->boxes()[openBox_];
        send(id, msg::BoxOpened{boxNumber_, box.text, box.scene});
    } else if (phase_ == Phase::Over) {
        send(id, msg::GameOver{match_->scene()});
        sendReplay(id);
    }
    for (const Seat seat : {Seat::Red, Seat::Blue}) {
        if (player(seat).seated && !player(seat).connection) {
            send(id, msg::Paused{awayReason(seat), match_->finalTick()});
        }
    }
}

// The record was handed over when the match ended, a box or two earlier; the writer may still
// be waiting for the disk to keep it, and its link is offered once it serves the record: asked
// again a little later until then. A match that was not recorded offers none.
void Room::offerReplay(Duration now) {
    replayDue_ = Duration::max();
    if (phase_ != Phase::Over || !match_->recorded()) {
        return;
    }
    if (context_.records && context_.records->stillWriting(replayId_ + ".replay")) {
        replayDue_ = now + kReplayAskEvery;
        return;
    }
    replayOffered_ = true;
    forEachMember([this](ConnectionId id) { sendReplay(id); });
}

void Room::sendReplay(ConnectionId id) {
    if (replayOffered_) {
        send(id, msg::Replay{replayId_});
    }
}

void Room::advance(Duration now) {
    for (const Seat seat : {Seat::Red, Seat::Blue}) {
        const Player& p = player(seat);
        if (p.seated && !p.connection && now >= p.returnBy) {
            close(colourOf(seat) + " did not come back: the match is over");
            return;
        }
    }
    if (phase_ == Phase::Boxes && now >= boxCloses_) {
        closeBox(now);
    }
    if (phase_ == Phase::Playing && match_) {
        finalise(now);
    }
    if (now >= watchersDue_) {
        sendWatchers(now);
    }
    if (now >= replayDue_) {
        offerReplay(now);
    }
}

Duration Room::nextWakeUp() const {
    Duration next = Duration::max();
    for (const Player& p : players_) {
        if (p.seated && !p.connection) {
            next = std::min(next, p.returnBy);
        }
    }
    if (phase_ == Phase::Boxes) {
        next = std::min(next, boxCloses_);
    }
    if (phase_ == Phase::Playing && match_) {
        next = std::min(next, match_->nextWakeUp());
    }
    return std::min({next, watchersDue_, replayDue_});
}

void Room::close(const std::string& reason) {
    if (phase_ == Phase::Closed) {
        return;
    }
    broadcast(msg::RoomClosed{reason});
    phase_ = Phase::Closed;
    match_.reset();  // an unfinished match leaves no record
}

std::vector<ConnectionId> Room::members() const {
    std::vector<ConnectionId> ids;
    forEachMember([&](ConnectionId id) { ids.push_back(id); });
    return ids;
}

void Room::send(ConnectionId to, const online::ServerMessage& message) {
    context_.transport.send(to, online::write(message));
}

void Room::broadcast(const online::ServerMessage& message) {
    const std::string text = online::write(message);
    forEachMember([&](ConnectionId id) { context_.transport.send(id, text); });
}

void Room::broadcastExcept(ConnectionId skip, const online::ServerMessage& message) {
    const std::string text = online::write(message);
    forEachMember([&](ConnectionId id) {
        if (id != skip) {
            context_.transport.send(id, text);
        }
    });
}

}  // namespace voltaro::server
