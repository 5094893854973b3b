#include "online/player_keys.h"

#include <algorithm>

namespace voltaro::online {

PlayerKeys::PlayerKeys(Duration delay, Duration interval) : repeats_(delay, interval) {
    held_.reserve(kMostHeld);
}

bool PlayerKeys::holdsKey(std::int16_t key) const {
    return std::any_of(held_.begin(), held_.end(), [key](const Held& h) { return h.key == key; });
}

bool PlayerKeys::holds(std::int16_t code) const {
    return std::any_of(held_.begin(), held_.end(),
                       [code](const Held& h) { return h.code == code; });
}

PlayerKeys::Press PlayerKeys::press(std::int16_t key, std::int16_t code, Duration now) {
    if (holdsKey(key)) {
        return Press::Held;  // the keyboard's own repeat: the schedule makes its own
    }
    if (held_.size() >= kMostHeld) {
        return Press::TooMany;
    }
    const bool first = !holds(code);
    held_.push_back({key, code});
    if (!first) {
        return Press::Held;
    }
    repeats_.press(code, code, now);
    return Press::New;
}

void PlayerKeys::release(std::int16_t key) {
    const auto found =
        std::find_if(held_.begin(), held_.end(), [key](const Held& h) { return h.key == key; });
    if (found == held_.end()) {
        return;
    }
    const std::int16_t code = found->code;
    held_.erase(found);
    if (!holds(code)) {
        repeats_.release(code);
    }
}

void PlayerKeys::restore(const State& state) {
    held_ = state.held;
    repeats_.restore(state.repeats);
}

void PlayerKeys::releaseAll() {
    held_.clear();
    repeats_.releaseAll();
}

}  // namespace voltaro::online
