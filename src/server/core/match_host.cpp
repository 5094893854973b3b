#include "server/core/match_host.h"

#include <algorithm>
#include <utility>

namespace voltaro::server {

namespace {

using online::ownKeyCode;
using online::PlayerKeys;
using online::Seat;

// Until a player reports their keyboard's settings: the desktop's usual ones.
constexpr auto kDefaultRepeatDelay = std::chrono::milliseconds(500);
constexpr auto kDefaultRepeatInterval = std::chrono::nanoseconds(std::chrono::seconds(1)) / 30;

online::Point placeOf(const Shape& shape) {
    return {shape.Left(), shape.Top()};
}

// kPressBurst presses at once, refilled at kPressesPerSecond.
TokenBucket pressAllowance(Duration start) {
    return TokenBucket(
        static_cast<std::size_t>(online::kPressBurst),
        Duration(std::chrono::seconds(online::kPressBurst)) / online::kPressesPerSecond, start);
}

}  // namespace

MatchHost::MatchHost(Duration start, MatchRecord record)
    : form_(*this),
      wiring_(*this, form_),
      keys_{PlayerKeys(kDefaultRepeatDelay, kDefaultRepeatInterval),
            PlayerKeys(kDefaultRepeatDelay, kDefaultRepeatInterval)},
      presses_{pressAllowance(start), pressAllowance(start)},
      record_(std::move(record)),
      start_(start),
      period_(TickSchedule(std::chrono::milliseconds(controls().timer("tmrBall").Interval()), start)
                  .period()),
      now_(start),
      ball_(controls().shape("shpBall")),
      red_(controls().shape("shpRed")),
      blue_(controls().shape("shpBlue")),
      redScore_(controls().label("lblRed")),
      blueScore_(controls().label("lblBlue")) {
    controls().setObserver(this);
    record_.tick(0);
    wiring_.load();
    if (!wiring_.ended()) {
        timers_.start(controls(), start);
    }
}

MatchHost::~MatchHost() {
    controls().setObserver(nullptr);
}

void MatchHost::advance(Duration now) {
    if (paused_ || wiring_.ended()) {
        return;
    }
    now_ = now;
    const PacedTimers::Due due = timers_.takeDue(now);
    if (due.count > 0) {
        noteTick(now);
    }
    for (const Timer* timer : due) {
        if (wiring_.ended() || paused_) {
            break;
        }
        // Written before it runs: the tick that ends the match closes the record.
        record_.line(timer->name() == "tmrBall" ? "ball" : "goal");
        wiring_.timerTick(*timer);
    }
    deliverRepeats(now);
}

// Each player's due repeats, the player whose repeat fell due first going first.
void MatchHost::deliverRepeats(Duration now) {
    KeyRepeat& red = keys_[0].repeats();
    KeyRepeat& blue = keys_[1].repeats();
    const auto redDue = red.nextDue().value_or(Duration::max());
    const auto blueDue = blue.nextDue().value_or(Duration::max());
    for (KeyRepeat* keys : redDue <= blueDue ? std::array{&red, &blue} : std::array{&blue, &red}) {
        if (!wiring_.ended() && !paused_ && keys->anyHeld()) {
            keys->deliverDue(now, [this](std::int16_t code) { deliverKey(code); });
        }
    }
}

Duration MatchHost::nextWakeUp() const {
    if (paused_ || wiring_.ended()) {
        return Duration::max();
    }
    auto next = timers_.nextWakeUp(keys_[0].repeats());
    if (const auto repeat = keys_[1].repeats().nextDue()) {
        next = std::min(next, *repeat);
    }
    return next;
}

PlayerKeys& MatchHost::keysOf(Seat player) {
    return keys_[player == Seat::Red ? 0 : 1];
}

void MatchHost::deliverKey(std::int16_t code) {
    if (wiring_.ended() || paused_) {
        return;
    }
    // Written before it runs, as ticks are.
    noteTick(now_);
    record_.line("key " + std::to_string(code));
    wiring_.keyDown(code);
}

bool MatchHost::keyDown(Seat player, std::int16_t pressed, Duration now) {
    if (player == Seat::Spectator || paused_ || wiring_.ended()) {
        return true;
    }
    advance(now);  // what fell due before the press comes first
    PlayerKeys& keys = keysOf(player);
    const std::int16_t code = ownKeyCode(player, pressed);
    switch (keys.press(pressed, code, now)) {
        case PlayerKeys::Press::TooMany:
            return false;
        case PlayerKeys::Press::Held:
            return true;
        case PlayerKeys::Press::New:
            break;
    }
    if (!presses_[player == Seat::Red ? 0 : 1].take(now)) {
        keys.release(pressed);  // one press too many: as if it never came
        return true;
    }
    deliverKey(code);
    return true;
}

void MatchHost::keyUp(Seat player, std::int16_t pressed) {
    if (player != Seat::Spectator) {
        keysOf(player).release(pressed);
    }
}

void MatchHost::releaseKeys(Seat player) {
    if (player != Seat::Spectator) {
        keysOf(player).releaseAll();
    }
}

void MatchHost::setKeyRepeat(Seat player, Duration delay, Duration interval) {
    if (player != Seat::Spectator) {
        keysOf(player).repeats().setTiming(delay, interval);
    }
}

void MatchHost::pause() {
    paused_ = true;
    for (PlayerKeys& keys : keys_) {
        keys.releaseAll();  // their releases went wherever the players were meanwhile
    }
}

void MatchHost::resume(Duration now) {
    if (!paused_) {
        return;
    }
    paused_ = false;
    timers_.dropDue(now);
}

// A "# tick N" line before the first event of each tick of the grid: the record says when
// everything happened, also after a pause.
void MatchHost::noteTick(Duration now) {
    const std::uint32_t tick = tickAt(now);
    if (tick != noted_) {
        noted_ = tick;
        record_.tick(tick);
    }
}

std::uint32_t MatchHost::tickAt(Duration now) const {
    return static_cast<std::uint32_t>((now - start_) / period_);
}

online::Scene MatchHost::scene() const {
    return {placeOf(ball_), placeOf(red_), placeOf(blue_), redScore_.Caption(),
            blueScore_.Caption()};
}

void MatchHost::showMessageBox(const std::string& prompt) {
    record_.comment("box " + prompt);
    boxes_.push_back({prompt, scene()});
    paused_ = true;  // nothing more reaches the form until the room has shown the box
    for (PlayerKeys& keys : keys_) {
        keys.releaseAll();  // the keys' releases will go to the box
    }
}

void MatchHost::reportRuntimeError(const RuntimeError& error) {
    record_.comment("error " + error.report());
    boxes_.push_back({error.report(), scene()});
    paused_ = true;
}

void MatchHost::programEnded(int) {
    for (PlayerKeys& keys : keys_) {
        keys.releaseAll();
    }
    record_.finish();
}

}  // namespace voltaro::server
