#include "server/core/input_gate.h"

#include "online/tick_match.h"

namespace voltaro::server {

namespace {

using Kind = online::Input::Kind;

TokenBucket pressAllowance(Duration now) {
    return TokenBucket(
        static_cast<std::size_t>(online::kPressBurst),
        Duration(std::chrono::seconds(online::kPressBurst)) / online::kPressesPerSecond, now);
}

// Only which keys are held matters here, not when they repeat: the match repeats them.
online::PlayerKeys heldKeys() {
    return online::PlayerKeys(std::chrono::milliseconds(500), std::chrono::milliseconds(500));
}

}  // namespace

InputGate::Player::Player(Duration now, online::RepeatTiming repeat)
    : keys(heldKeys()), presses(pressAllowance(now)), repeat(repeat) {}

InputGate::InputGate(Duration now, std::array<online::RepeatTiming, 2> repeats)
    : players_{Player(now, repeats[0]), Player(now, repeats[1])} {}

InputGate::Verdict InputGate::pass(const online::Input& input, Duration now) {
    Player& p = of(input.seat);
    p.lastSeq = input.seq;
    switch (input.kind) {
        case Kind::KeyDown:
            return keyDown(p, input, now);
        case Kind::KeyUp:
            return keyUp(p, input);
        case Kind::FocusLost:
            if (!p.keys.anyHeld()) {
                return Verdict::Dropped;
            }
            p.keys.releaseAll();
            return Verdict::Taken;
        case Kind::KeyRepeat: {
            const bool same =
                input.delayUs == p.repeat.delayUs && input.intervalUs == p.repeat.intervalUs;
            if (same || !p.presses.take(now)) {
                return Verdict::Dropped;
            }
            p.repeat = {input.delayUs, input.intervalUs};
            return Verdict::Taken;
        }
        case Kind::Pause:
        case Kind::Resume:
            break;
    }
    return Verdict::Dropped;  // the server's own, never a player's
}

InputGate::Verdict InputGate::keyDown(Player& p, const online::Input& input, Duration now) {
    if (p.keys.holdsKey(input.key)) {
        return Verdict::Dropped;
    }
    const std::int16_t code = online::ownKeyCode(input.seat, input.key);
    switch (p.keys.press(input.key, code, now)) {
        case online::PlayerKeys::Press::TooMany:
            return Verdict::TooManyKeys;
        case online::PlayerKeys::Press::Held:
            break;  // another key holds its direction: no new press, but this key is down too
        case online::PlayerKeys::Press::New:
            if (!p.presses.take(now)) {
                p.keys.release(input.key);  // one press too many: as if it never came
                return Verdict::Dropped;
            }
            break;
    }
    return Verdict::Taken;
}

InputGate::Verdict InputGate::keyUp(Player& p, const online::Input& input) {
    if (!p.keys.holdsKey(input.key)) {
        return Verdict::Dropped;
    }
    p.keys.release(input.key);
    return Verdict::Taken;
}

void InputGate::releaseAll() {
    for (Player& p : players_) {
        p.keys.releaseAll();
    }
}

}  // namespace voltaro::server
