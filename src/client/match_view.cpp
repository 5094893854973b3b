#include "client/match_view.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "scene/controls.h"

namespace voltaro::client {

namespace {

namespace msg = online::server;
using online::Seat;

std::string colourOf(Seat seat) {
    return std::string(online::colourName(seat));
}

// Close codes after which coming back with the same seat token cannot work.
bool hopeless(std::uint16_t code) {
    return code == online::close_code::kMalformed || code == online::close_code::kVersion ||
           code == online::close_code::kOutOfPlace || code == online::close_code::kSeatTakenOver ||
           code == online::close_code::kIdle;
}

constexpr std::uint16_t kAbnormalClose = 1006;

// Pings that are never answered are not kept for ever: past these, the clock waits for answers.
constexpr std::size_t kMostPingsOut = 8;

online::Input serversOwn(online::Input::Kind kind, std::uint32_t tick) {
    online::Input input;
    input.kind = kind;
    input.seat = Seat::Spectator;
    input.tick = tick;
    return input;
}

}  // namespace

MatchView::MatchView(std::string_view server) : address_(server), server_(matchSocketUrl(server)) {}

void MatchView::create() {
    quick_ = queueLeft_ = false;
    request_ = Request::Create;
    sendRequest();
}

void MatchView::join(std::string code, std::string token) {
    code_ = std::move(code);
    token_ = std::move(token);
    quick_ = queueLeft_ = false;
    request_ = token_.empty() ? Request::Join : Request::Rejoin;
    sendRequest();
}

void MatchView::watch(std::string code) {
    code_ = std::move(code);
    token_.clear();
    quick_ = queueLeft_ = false;
    request_ = Request::Watch;
    sendRequest();
}

void MatchView::quickMatch() {
    code_.clear();
    token_.clear();
    quick_ = true;
    queueLeft_ = false;
    request_ = Request::QuickMatch;
    sendRequest();
}

void MatchView::leaveQueue() {
    if (phase_ != Phase::Queued && request_ != Request::QuickMatch) {
        return;
    }
    // A place may be held already, or be on its way.
    queueLeft_ = phase_ == Phase::Queued || attempt_ == Attempt::Open;
    request_ = Request::None;
    send(online::client::LeaveQueue{});
    show(Phase::Lobby, "You left the queue.");
}

void MatchView::openConnection() {
    attempt_ = Attempt::Opening;
    step_ = ConnectionStep::Open;
    heard_ = true;
}

void MatchView::opened() {
    if (attempt_ != Attempt::Opening) {
        return;
    }
    heard_ = true;
    attempt_ = Attempt::Open;
    send(online::client::Hello{});
    if (phase_ == Phase::Reconnecting) {
        request_ = watching() ? Request::Watch : Request::Rejoin;
    }
}

void MatchView::sendRequest() {
    if (attempt_ == Attempt::None && phase_ != Phase::Closed) {
        openConnection();
    }
    if (attempt_ != Attempt::Open || phase_ == Phase::Connecting) {
        return;  // sent when the server has welcomed us
    }
    switch (request_) {
        case Request::None:
            return;
        case Request::Create:
            send(online::client::Create{});
            break;
        case Request::Join:
            send(online::client::Join{code_});
            break;
        case Request::Rejoin:
            send(online::client::Rejoin{code_, token_});
            break;
        case Request::Watch:
            send(online::client::Watch{code_});
            break;
        case Request::QuickMatch:
            send(online::client::QuickMatch{});
            break;
    }
    switch (request_) {
        case Request::Rejoin:
            return show(Phase::Connecting, "Taking your seat back...");
        case Request::Watch:
            return show(Phase::Connecting, "Connected: asking to watch the match...");
        case Request::QuickMatch:
            return show(Phase::Connecting, "Connected: asking for someone to play...");
        default:
            return show(Phase::Connecting, "Connected: asking for a seat...");
    }
}

void MatchView::received(std::string_view frame, double nowMs) {
    nowMs_ = nowMs;
    if (attempt_ != Attempt::Open) {
        return;  // left over from a connection dropped
    }
    heard_ = true;
    lostSinceMs_.reset();  // a server that answers is back; one that only opens is still lost
    std::string problem;
    const auto message = online::readServerMessage(frame, problem);
    if (!message) {
        return;  // a newer server's addition, most likely: what we understand goes on
    }
    std::visit([this](const auto& m) { on(m); }, *message);
}

void MatchView::closed(std::uint16_t code, std::string_view reason, double nowMs) {
    if (attempt_ == Attempt::None) {
        return;  // the end of a connection already dropped
    }
    lost(code, reason, nowMs);
}

void MatchView::dropConnection(double nowMs) {
    step_ = ConnectionStep::Drop;
    lost(kAbnormalClose, {}, nowMs);
}

void MatchView::lost(std::uint16_t code, std::string_view reason, double nowMs) {
    attempt_ = Attempt::None;
    heard_ = true;
    held_.clear();
    pingsOut_.clear();  // their answers went with the connection
    clockPingedAtMs_.reset();
    if (phase_ == Phase::Closed) {
        return;
    }
    if (code == online::close_code::kVersion) {
        show(Phase::Closed, std::string(reason));
        return;
    }
    const auto tryAgain = [&] {
        retryAtMs_ = nowMs + kRetryAfterMs;
        if (!lostSinceMs_) {
            lostSinceMs_ = nowMs;
        }
    };
    // A kept token that the room no longer knows: join afresh.
    if (request_ == Request::Rejoin && code == online::close_code::kOutOfPlace &&
        phase_ == Phase::Connecting) {
        token_.clear();
        request_ = Request::Join;
        tryAgain();
        return;
    }
    if (code == online::close_code::kGoingAway) {
        show(Phase::Closed, "The server has shut down: the match is over.");
        return;
    }
    if (hopeless(code)) {
        show(Phase::Closed, reason.empty()
                                ? "The server closed the connection."
                                : "The server closed the connection: " + std::string(reason));
        return;
    }
    // A spectator watches again as a player takes their seat back.
    if (!token_.empty() || watching()) {
        show(Phase::Reconnecting, "Lost the connection to the server: trying to reconnect...");
        tryAgain();
        return;
    }
    show(Phase::Closed,
         welcomed_ ? "Lost the connection to the server." : "The server cannot be reached.");
}

void MatchView::retry(double nowMs) {
    retryAtMs_.reset();
    if (lostSinceMs_ && nowMs - *lostSinceMs_ > kRetryForMs) {
        show(Phase::Closed, "The server cannot be reached.");
        return;
    }
    openConnection();
}

void MatchView::checkConnection(double nowMs) {
    nowMs_ = nowMs;
    if (phase_ == Phase::Closed) {
        return;
    }
    if (retryAtMs_) {
        if (nowMs >= *retryAtMs_) {
            retry(nowMs);
        }
        checkedAtMs_ = nowMs;
        return;
    }
    if (attempt_ != Attempt::None && silent(nowMs)) {
        dropConnection(nowMs);
        return;
    }
    if (phase_ == Phase::Queued) {
        showWait(nowMs);
    }
    keepClockInStep(nowMs);
}

// The time in the queue, on the status line: it moves every second while the player waits.
void MatchView::showWait(double nowMs) {
    std::string status = "Waiting for someone to play: " + waitWords(nowMs - queuedAtMs_) + ".";
    if (status != status_) {
        show(Phase::Queued, std::move(status));
    }
}

std::string MatchView::waitWords(double waitedMs) {
    const auto seconds = static_cast<long long>(std::max(0.0, waitedMs) / 1000);
    return fmt::format(FMT_COMPILE("{}:{:02}"), seconds / 60, seconds % 60);
}

// The stamps on the player's keys are only as good as the clock, and the network's delay moves:
// a ping a second finds the fastest answers, and once the clock has its samples one every two
// seconds keeps fast recent ones at hand (each ping and pong is a read and a send for a server
// of thousands of players).
void MatchView::keepClockInStep(double nowMs) {
    if (attempt_ != Attempt::Open || phase_ != Phase::Playing ||
        pingsOut_.size() >= kMostPingsOut) {
        return;
    }
    const double every = clock_.settled() ? kSettledClockPingEveryMs : kClockPingEveryMs;
    if (!clockPingedAtMs_ || nowMs - *clockPingedAtMs_ >= every) {
        clockPingedAtMs_ = nowMs;
        ping(nowMs);
    }
}

void MatchView::ping(double nowMs) {
    if (attempt_ != Attempt::Open || pingsOut_.size() >= kMostPingsOut * 2) {
        return;  // a server that answers none is dropped by the silence check before this
    }
    pingsOut_.push_back(nowMs);
    send(online::client::Ping{});
}

bool MatchView::silent(double nowMs) {
    const bool onTime = checkedAtMs_ && nowMs - *checkedAtMs_ <= kOnTimeMs;
    checkedAtMs_ = nowMs;
    if (heard_) {
        heard_ = false;
        pingedAtMs_.reset();
        heardAtMs_ = nowMs;
        return false;
    }
    const double silence = nowMs - heardAtMs_;
    if (attempt_ == Attempt::Opening) {
        return onTime && silence >= kOpenWithinMs;
    }
    // Asked first, however late this call comes: a hidden tab's timers may be slowed to one a
    // minute, while a box keeps the server quiet.
    if (!pingedAtMs_) {
        if (silence >= kPingAfterMs) {
            pingedAtMs_ = nowMs;
            ping(nowMs);
        }
        return false;
    }
    return onTime && nowMs - *pingedAtMs_ >= kAnswerWithinMs;
}

MatchView::ConnectionStep MatchView::takeConnectionStep() {
    return std::exchange(step_, ConnectionStep::None);
}

std::string MatchView::socketUrl() const {
    if (request_ == Request::QuickMatch && code_.empty()) {
        return queueSocketUrl(server_);
    }
    return roomSocketUrl(server_, code_);
}

void MatchView::frame(double nowMs) {
    nowMs_ = nowMs;
    if (!inMatch()) {
        return;
    }
    match_->advanceTo(presentTick(nowMs));
    showPresent();
}

bool MatchView::inMatch() const {
    return phase_ == Phase::Playing && match_ && match_->started();
}

std::optional<Seat> MatchView::ownSeat() const {
    if (seat_ && *seat_ != Seat::Spectator) {
        return seat_;
    }
    return std::nullopt;
}

// The server's present tick as this client's clock makes it out. Before any answer to a ping,
// the match's start stands in for the clock: behind by the one-way delay, which a stamp may be.
std::uint32_t MatchView::presentTick(double nowMs) const {
    if (!clock_.known()) {
        return match_ ? match_->finalTickNumber() : 0;
    }
    const std::int64_t since = clock_.serverUs(nowMs) - startUs_;
    if (since <= 0) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::min<std::int64_t>(
        since / online::TickMatch::kPeriodUs, std::numeric_limits<std::uint32_t>::max()));
}

online::Input MatchView::ownInput(online::Input::Kind kind, double nowMs) {
    online::Input input;
    input.kind = kind;
    input.seat = *seat_;
    input.tick = presentTick(nowMs);
    input.seq = ++seq_;
    return input;
}

// The player's own input reaches the match on screen at once: their piece moves on the next
// frame whatever the round trip to the server.
void MatchView::play(const online::Input& input) {
    match_->advanceTo(input.tick);
    match_->predicted(input);
    showPresent();
}

void MatchView::showPresent() {
    online::Scene now = match_->scene();
    if (now != scene_) {
        scene_ = std::move(now);
        changed_ = true;
    }
}

void MatchView::keyDown(int key, std::int16_t code, double nowMs) {
    nowMs_ = nowMs;
    // While the friend is away the server takes no keys; a held key is the match's to repeat.
    if (!inMatch() || !ownSeat() || paused() || held_.contains(key)) {
        return;
    }
    held_[key] = code;
    online::Input input = ownInput(online::Input::Kind::KeyDown, nowMs);
    input.key = code;
    play(input);
    ++ownPresses_;
    lastOwnPress_ = code;
    send(online::client::KeyDown{code, input.tick, input.seq});
}

void MatchView::keyUp(int key, double nowMs) {
    nowMs_ = nowMs;
    const auto found = held_.find(key);
    if (found == held_.end()) {
        return;
    }
    const std::int16_t code = found->second;
    held_.erase(found);
    if (!inMatch()) {
        return;
    }
    online::Input input = ownInput(online::Input::Kind::KeyUp, nowMs);
    input.key = code;
    play(input);
    send(online::client::KeyUp{code, input.tick, input.seq});
}

void MatchView::focusLost(double nowMs) {
    nowMs_ = nowMs;
    if (held_.empty()) {
        return;
    }
    held_.clear();
    if (!inMatch()) {
        return;
    }
    const online::Input input = ownInput(online::Input::Kind::FocusLost, nowMs);
    play(input);
    send(online::client::FocusLost{input.tick, input.seq});
}

void MatchView::setKeyRepeat(double delayMs, double intervalMs) {
    repeat_ = online::client::KeyRepeat{delayMs, intervalMs};
    sendKeyRepeat();
}

// An input of the match like a key: sent once a match is in play (at its start, and whenever
// the settings change during it). Settings the match has already change nothing.
void MatchView::sendKeyRepeat() {
    if (!repeat_ || !ownSeat() || !inMatch() || paused()) {
        return;
    }
    online::client::KeyRepeat message = *repeat_;
    online::Input input = ownInput(online::Input::Kind::KeyRepeat, nowMs_);
    const online::RepeatTiming timing = online::clampedRepeat(message.delayMs, message.intervalMs);
    input.delayUs = timing.delayUs;
    input.intervalUs = timing.intervalUs;
    play(input);
    message.tick = input.tick;
    message.seq = input.seq;
    send(message);
}

void MatchView::boxOk() {
    if (phase_ != Phase::Box || boxAnswered_) {
        return;
    }
    boxAnswered_ = true;
    if (watching()) {
        // The players answer the box; the spectator only puts it away.
        show(Phase::Box, "Waiting for the players to press OK...");
        return;
    }
    send(online::client::BoxOk{box_});
    show(Phase::Box, "Waiting for " + friendName() + " to press OK...");
}

void MatchView::playAgain() {
    if (phase_ != Phase::Over || watching()) {
        return;
    }
    send(online::client::PlayAgain{});
}

void MatchView::leave() {
    if (attempt_ == Attempt::Open && seat_) {
        send(online::client::Leave{});
    }
    token_.clear();
    show(Phase::Closed, "You left the match.");
}

std::vector<std::string> MatchView::takeOutgoing() {
    return std::exchange(outgoing_, {});
}

bool MatchView::takeChanged() {
    return std::exchange(changed_, false);
}

std::string MatchView::matchLine() const {
    if (!seat_) {
        return {};
    }
    if (*seat_ == Seat::Spectator) {
        return "watching Red against Blue, room " + code_;
    }
    return "you play " + colourOf(*seat_) + " against " + friendName() + ", room " + code_;
}

std::uint32_t MatchView::tick() const {
    return match_ && match_->started() ? match_->presentTick() : 0;
}

std::optional<std::uint32_t> MatchView::finalTick() const {
    if (!inMatch()) {
        return std::nullopt;
    }
    return match_->finalTickNumber();
}

online::Scene MatchView::finalScene() const {
    return match_ ? match_->finalScene() : online::Scene{};
}

std::string MatchView::joinLink() const {
    return client::joinLink(address_, code_);
}

std::string MatchView::replayLink() const {
    return replayId_.empty() ? std::string() : client::replayLink(address_, replayId_);
}

std::string MatchView::replayRecordUrl() const {
    return replayId_.empty() ? std::string() : client::replayRecordUrl(address_, replayId_);
}

std::string MatchView::watchLink() const {
    return client::watchLink(address_, code_);
}

std::string MatchView::watchLine() const {
    if (watching()) {
        const std::uint32_t others = watchers_ > 0 ? watchers_ - 1 : 0;
        std::string line = "You are watching Red against Blue in room " + code_;
        if (others > 0) {
            line += fmt::format(FMT_COMPILE(", with {} other{}"), others, others == 1 ? "" : "s");
        }
        return line + ".";
    }
    if (watchers_ == 0 || !seat_) {
        return {};
    }
    return fmt::format(FMT_COMPILE("{} {} this match."), watchers_,
                       watchers_ == 1 ? "person watches" : "people watch");
}

std::string MatchView::friendName() const {
    return seat_ == Seat::Blue ? "Red" : "Blue";
}

void MatchView::send(const online::ClientMessage& message) {
    if (attempt_ == Attempt::Open) {
        outgoing_.push_back(online::write(message));
    }
}

void MatchView::show(Phase phase, std::string status) {
    phase_ = phase;
    status_ = std::move(status);
    changed_ = true;
}

void MatchView::on(const msg::Welcome& m) {
    if (m.version != online::kProtocolVersion) {
        // Its messages would be misread: the player is told to update instead.
        show(Phase::Closed,
             fmt::format(FMT_COMPILE("The server speaks version {} of the online protocol "
                                     "and this game version {}: update the game."),
                         m.version, online::kProtocolVersion));
        attempt_ = Attempt::None;
        step_ = ConnectionStep::Drop;
        return;
    }
    welcomed_ = true;
    phase_ = Phase::Lobby;
    if (request_ == Request::None) {
        show(Phase::Lobby, "Connected.");
    }
    sendRequest();
}

void MatchView::on(const msg::Seated& m) {
    if (queueLeft_ && !seat_) {
        // Seated from the queue as the player left it: they leave the room, and the other is
        // told at once.
        queueLeft_ = false;
        send(online::client::Leave{});
        return;
    }
    const bool back = request_ == Request::Rejoin;
    code_ = m.code;
    seat_ = m.seat;
    token_ = m.token;
    request_ = Request::None;
    // The clock is wanted from the match's first tick: a few answers at once give it.
    for (int i = 0; i < kClockPingsWhenSeated; ++i) {
        ping(nowMs_);
    }
    awayReason_.clear();  // told again by the server if the friend is still away
    inviting_ = m.seat == Seat::Red && !quick_ && (!back || matchNumber_ == 0);
    if (inviting_) {
        show(Phase::Waiting, "Waiting for your friend to join: send them the code " + code_ + ".");
    } else {
        show(Phase::Waiting, "Waiting for the match to start...");
    }
}

void MatchView::on(const msg::MatchStarted& m) {
    auto match = std::make_unique<PredictedMatch>();
    if (!match->start(m.tick, m.state)) {
        // Not a match this client can read: asked once more, in case it was the way here.
        if (!resyncing_) {
            resyncing_ = true;
            send(online::client::Resync{});
        }
        return;
    }
    const bool sameMatch = match_ && m.match == matchNumber_;
    const bool askedFor = resyncing_;
    if (askedFor && sameMatch) {
        // On the same connection, the inputs the server has not dealt with yet are still to
        // come: those for the ticks after the state's are this player's to predict still (the
        // server sends back the others, which it places later).
        for (const online::Input& mine : match_->ownUnsettled()) {
            if (mine.tick > m.tick) {
                match->predicted(mine);
            }
        }
    }
    match_ = std::move(match);
    resyncing_ = false;
    startUs_ = m.startUs;
    if (!clock_.known()) {
        clock_.heard(m.startUs + static_cast<std::int64_t>(m.tick) * online::TickMatch::kPeriodUs,
                     nowMs_);
    }
    if (!sameMatch) {
        held_.clear();      // a new match holds no key
        replayId_.clear();  // the last match's replay is not this one's
    }
    matchNumber_ = m.match;
    if (sameMatch && (phase_ == Phase::Box || phase_ == Phase::Over)) {
        return;  // the match sent again under its box: the box stays
    }
    boxAnswered_ = false;
    show(Phase::Playing, awayReason_.empty() ? std::string() : awayReason_);
    match_->advanceTo(presentTick(nowMs_));
    scene_ = match_->scene();
    if (!askedFor) {
        sendKeyRepeat();  // this player's, from the match's first ticks
    }
}

void MatchView::on(const msg::Input& m) {
    if (!match_) {
        return;
    }
    if (!resyncing_) {
        match_->confirmed(m.input, ownSeat());
    } else if (ownSeat() && m.input.seat == *ownSeat()) {
        match_->dropOwn(m.input.seq);  // placed elsewhere: the match sent again has it
    }
}

void MatchView::on(const msg::Refused& m) {
    if (match_) {
        match_->dropOwn(m.seq);
    }
}

// Every client checks its match against the server's at each final tick: one that disagrees
// says so in the log and takes the server's match, rather than show another match from then on.
void MatchView::on(const msg::Final& m) {
    if (!match_ || resyncing_ || !match_->started()) {
        return;
    }
    const std::uint32_t ownSeq = seat_ == Seat::Red ? m.red : (seat_ == Seat::Blue ? m.blue : 0);
    if (!match_->finalTick(m.tick, m.digest, ownSeq)) {
        ++mismatches_;
        lastMismatch_ = m.tick;
        resyncing_ = true;
        send(online::client::Resync{});
    }
}

void MatchView::on(const msg::Pong& m) {
    if (pingsOut_.empty()) {
        return;
    }
    clock_.pong(pingsOut_.front(), m.timeUs, nowMs_);
    pingsOut_.erase(pingsOut_.begin());  // a few at most
}

void MatchView::on(const msg::Queued&) {
    queuedAtMs_ = nowMs_;
    showWait(nowMs_);
}

void MatchView::on(const msg::Watchers& m) {
    watchers_ = m.count;
    changed_ = true;
}

void MatchView::on(const msg::BoxOpened& m) {
    box_ = m.box;
    boxText_ = m.text;
    lastBoxText_ = m.text;
    boxAnswered_ = false;
    scene_ = m.scene;
    held_.clear();  // the keys' releases go to the box
    show(Phase::Box, awayReason_);
}

void MatchView::on(const msg::BoxClosed& m) {
    if (m.box != box_ || phase_ != Phase::Box) {
        return;
    }
    boxText_.clear();
    boxAnswered_ = false;
    show(Phase::Playing, awayReason_);
}

// A pause and a resume are inputs of the match at their ticks: every held key is let go, and
// the ticks in between never run.
void MatchView::on(const msg::Paused& m) {
    if (match_ && !resyncing_) {
        match_->confirmed(serversOwn(online::Input::Kind::Pause, m.tick), ownSeat());
    }
    held_.clear();
    awayReason_ = m.reason + ": the match waits for them to come back.";
    show(phase_, awayReason_);
}

void MatchView::on(const msg::Resumed& m) {
    if (match_ && !resyncing_) {
        match_->confirmed(serversOwn(online::Input::Kind::Resume, m.tick), ownSeat());
    }
    awayReason_.clear();
    show(phase_, m.reason + ".");
}

void MatchView::on(const msg::GameOver& m) {
    scene_ = m.scene;
    boxText_.clear();
    show(Phase::Over, lastBoxText_.empty() ? "The match is over." : lastBoxText_);
}

// Offered at the end of the match it names; one that comes for a match no longer on screen (a
// new one started meanwhile) has no end to stand beside.
void MatchView::on(const msg::Replay& m) {
    if (phase_ != Phase::Over || m.id == replayId_) {
        return;
    }
    replayId_ = m.id;
    changed_ = true;
}

void MatchView::on(const msg::PlayAgainWanted& m) {
    if (phase_ != Phase::Over) {
        return;
    }
    if (m.seat == seat_) {
        show(Phase::Over, "Waiting for " + friendName() + " to play again...");
    } else {
        show(Phase::Over, colourOf(m.seat) + " wants to play again.");
    }
}

void MatchView::on(const msg::RoomClosed& m) {
    token_.clear();
    show(Phase::Closed, m.reason + ".");
}

void MatchView::on(const msg::Error& m) {
    const bool wasRejoin = request_ == Request::Rejoin;
    request_ = Request::None;
    if (wasRejoin) {
        token_.clear();
        show(Phase::Closed, m.message + ".");
        return;
    }
    // A refused request leaves the connection open: the player may try another code.
    show(seat_ ? phase_ : Phase::Lobby, m.message + ".");
}

std::string_view phaseName(MatchView::Phase phase) {
    switch (phase) {
        case MatchView::Phase::Connecting:
            return "Connecting";
        case MatchView::Phase::Lobby:
            return "Lobby";
        case MatchView::Phase::Waiting:
            return "Waiting";
        case MatchView::Phase::Queued:
            return "Queued";
        case MatchView::Phase::Playing:
            return "Playing";
        case MatchView::Phase::Box:
            return "Box";
        case MatchView::Phase::Over:
            return "Over";
        case MatchView::Phase::Reconnecting:
            return "Reconnecting";
        case MatchView::Phase::Closed:
            break;
    }
    return "Closed";
}

void showScene(const online::Scene& scene, Controls& controls) {
    const auto place = [&](std::string_view name, const online::Point& at) {
        Shape& shape = controls.shape(name);
        shape.setLeft(at.left);
        shape.setTop(at.top);
    };
    place("shpBall", scene.ball);
    place("shpRed", scene.red);
    place("shpBlue", scene.blue);
    controls.label("lblRed").setCaption(scene.redScore);
    controls.label("lblBlue").setCaption(scene.blueScore);
}

std::string describeScene(std::uint32_t tick, const online::Scene& scene) {
    const auto place = [](const online::Point& p) {
        return fmt::format(FMT_COMPILE("[{},{}]"), p.left, p.top);
    };
    return fmt::format(FMT_COMPILE("tick {} ball {} red {} blue {} score {} {}"), tick,
                       place(scene.ball), place(scene.red), place(scene.blue), scene.redScore,
                       scene.blueScore);
}

}  // namespace voltaro::client
