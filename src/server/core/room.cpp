#include "server/core/room.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "server/core/room_code.h"

namespace voltaro::server {

namespace {

using online::Seat;
namespace msg = online::server;

std::string colourOf(Seat seat) {
    return std::string(online::colourName(seat));
}

Duration clampedMilliseconds(double ms, double shortest, double longest) {
    const double clamped = std::clamp(ms, shortest, longest);
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double, std::milli>(clamped));
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
    return true;
}

bool Room::waitingForFriend() const {
    return phase_ == Phase::Waiting && !player(Seat::Blue).seated;
}

bool Room::addSpectator(ConnectionId id, Duration) {
    if (spectators_.size() >= context_.limits.maxSpectators) {
        return false;
    }
    spectators_.push_back(id);
    send(id, msg::Seated{code_, Seat::Spectator, {}});
    catchUp(id);
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
        catchUp(id);
        if (wasAway) {
            broadcastExcept(id, msg::Resumed{colourOf(seat) + " is back"});
            updatePause(now);
        }
        return seat;
    }
    return std::nullopt;
}

bool Room::keyDown(Seat seat, std::int16_t code, Duration now) {
    if (phase_ != Phase::Playing || !match_) {
        return true;
    }
    const bool taken = match_->keyDown(seat, code, now);
    afterEvents(now);
    return taken;
}

void Room::keyUp(Seat seat, std::int16_t code) {
    if (match_) {
        match_->keyUp(seat, code);
    }
}

void Room::focusLost(Seat seat) {
    if (match_) {
        match_->releaseKeys(seat);
    }
}

void Room::keyRepeat(Seat seat, const online::client::KeyRepeat& settings) {
    Player& p = player(seat);
    p.repeatDelay = clampedMilliseconds(settings.delayMs, online::kShortestRepeatDelayMs,
                                        online::kLongestRepeatDelayMs);
    p.repeatInterval = clampedMilliseconds(settings.intervalMs, online::kShortestRepeatIntervalMs,
                                           online::kLongestRepeatIntervalMs);
    if (match_) {
        match_->setKeyRepeat(seat, p.repeatDelay, p.repeatInterval);
    }
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
        std::erase(spectators_, id);
        return;
    }
    Player& p = player(seat);
    if (p.connection != id) {
        return;  // a connection that lost its seat to a newer one
    }
    p.connection.reset();
    p.returnBy = now + context_.limits.reconnectWait;
    broadcast(msg::Paused{colourOf(seat) + " left the match"});
    updatePause(now);
}

void Room::left(ConnectionId id, Seat seat, Duration now) {
    if (seat == Seat::Spectator) {
        std::erase(spectators_, id);
        return;
    }
    if (player(seat).connection != id) {
        return;
    }
    player(seat).connection.reset();
    (void)now;
    close(colourOf(seat) + " left the room");
}

void Room::startMatch(Duration now) {
    ++matchNumber_;
    MatchRecord record(context_.records, fmt::format("{}-{}-{}.replay", code_, matchNumber_,
                                                     newSeatToken(context_.random).substr(0, 8)));
    record.comment(fmt::format("voltaro match record: room {}, match {}", code_, matchNumber_));
    match_ = std::make_unique<MatchHost>(now, std::move(record));
    for (const Seat seat : {Seat::Red, Seat::Blue}) {
        Player& p = player(seat);
        p.wantsAgain = false;
        match_->setKeyRepeat(seat, p.repeatDelay, p.repeatInterval);
    }
    phase_ = Phase::Playing;
    broadcast(msg::MatchStarted{matchNumber_, 0, 0, {}});
    for (const Seat seat : {Seat::Red, Seat::Blue}) {
        if (!player(seat).connection) {
            broadcast(msg::Paused{colourOf(seat) + " left the match"});
        }
    }
    match_->takeChanged();
    afterEvents(now);
    updatePause(now);
}

// After anything reached the form: the boxes it showed, else the scene if it changed.
void Room::afterEvents(Duration now) {
    if (!match_ || phase_ != Phase::Playing) {
        return;
    }
    auto shown = match_->takeBoxes();
    if (shown.empty()) {
        sendState(now);
        return;
    }
    // The clients see each box over its own scene; the scene after the procedure comes with the
    // end of the last box.
    match_->takeChanged();
    boxes_ = std::move(shown);
    phase_ = Phase::Boxes;
    openBox(now);
}

void Room::openBox(Duration now) {
    ++boxNumber_;
    for (Player& p : players_) {
        p.pressedOk = false;
    }
    boxCloses_ = now + context_.limits.boxWait;
    const MatchHost::Box& box = boxes_.front();
    broadcast(msg::BoxOpened{boxNumber_, box.text, box.scene});
}

void Room::closeBox(Duration now) {
    broadcast(msg::BoxClosed{boxNumber_});
    boxes_.erase(boxes_.begin());
    if (!boxes_.empty()) {
        openBox(now);
        return;
    }
    if (match_->ended()) {
        phase_ = Phase::Over;
        broadcast(msg::GameOver{match_->scene()});
        return;
    }
    phase_ = Phase::Playing;
    sendState(now);
    updatePause(now);
}

bool Room::anyoneAway() const {
    return std::any_of(players_.begin(), players_.end(),
                       [](const Player& p) { return p.seated && !p.connection; });
}

// The match runs while both players are there and no box is open.
void Room::updatePause(Duration now) {
    if (!match_ || phase_ != Phase::Playing) {
        return;
    }
    if (anyoneAway()) {
        match_->pause();
    } else {
        match_->resume(now);
    }
}

void Room::sendState(Duration now) {
    if (!match_->takeChanged()) {
        return;
    }
    // Version 3 sends inputs and final ticks instead of scenes: until the match runs on its
    // inputs, nothing goes out on a tick.
    (void)now;
}

// A client that arrives in the middle: what the others see now.
void Room::catchUp(ConnectionId id) {
    switch (phase_) {
        case Phase::Waiting:
        case Phase::Closed:
            break;
        case Phase::Playing:
            send(id, msg::MatchStarted{matchNumber_, 0, 0, {}});
            break;
        case Phase::Boxes:
            send(id, msg::MatchStarted{matchNumber_, 0, 0, {}});
            send(id, msg::BoxOpened{boxNumber_, boxes_.front().text, boxes_.front().scene});
            break;
        case Phase::Over:
            send(id, msg::MatchStarted{matchNumber_, 0, 0, {}});
            send(id, msg::GameOver{match_->scene()});
            break;
    }
    for (const Seat seat : {Seat::Red, Seat::Blue}) {
        if (player(seat).seated && !player(seat).connection) {
            send(id, msg::Paused{colourOf(seat) + " left the match"});
        }
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
        match_->advance(now);
        afterEvents(now);
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
    return next;
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
    context_.transport.send(to, Transport::Kind::Control, online::write(message));
}

void Room::broadcast(const online::ServerMessage& message) {
    const std::string text = online::write(message);
    forEachMember(
        [&](ConnectionId id) { context_.transport.send(id, Transport::Kind::Control, text); });
}

void Room::broadcastExcept(ConnectionId skip, const online::ServerMessage& message) {
    const std::string text = online::write(message);
    forEachMember([&](ConnectionId id) {
        if (id != skip) {
            context_.transport.send(id, Transport::Kind::Control, text);
        }
    });
}

}  // namespace voltaro::server
