#include "scene/key_repeat.h"

#include <algorithm>

namespace voltaro {

KeyRepeat::KeyRepeat(Duration delay, Duration interval) {
    setTiming(delay, interval);
    held_.reserve(16);  // more keys than hands can hold
}

void KeyRepeat::setTiming(Duration delay, Duration interval) {
    delay_ = delay;
    interval_ = std::max(interval, Duration(std::chrono::milliseconds(1)));
    for (Held& h : held_) {
        if (!h.repeated) {
            h.due = h.pressedAt + delay_;
        }
    }
}

void KeyRepeat::restore(const State& state) {
    delay_ = state.delay;
    interval_ = std::max(state.interval, Duration(std::chrono::milliseconds(1)));
    held_ = state.held;
    pressed_ = state.pressed;
}

bool KeyRepeat::press(int key, std::int16_t code, Duration now) {
    const bool alreadyHeld =
        std::any_of(held_.begin(), held_.end(), [key](const Held& h) { return h.key == key; });
    if (alreadyHeld) {
        return false;
    }
    held_.push_back({key, code, pressed_++, now + delay_, now});
    return true;
}

void KeyRepeat::release(int key) {
    std::erase_if(held_, [key](const Held& h) { return h.key == key; });
}

void KeyRepeat::releaseAll() {
    held_.clear();
}

std::optional<KeyRepeat::Duration> KeyRepeat::nextDue() const {
    if (held_.empty()) {
        return std::nullopt;
    }
    return std::min_element(held_.begin(), held_.end(),
                            [](const Held& a, const Held& b) { return a.due < b.due; })
        ->due;
}

KeyRepeat::Held* KeyRepeat::earliestDue(Duration now) {
    Held* earliest = nullptr;
    for (Held& h : held_) {
        if (h.due <= now && (!earliest || h.due < earliest->due ||
                             (h.due == earliest->due && h.order < earliest->order))) {
            earliest = &h;
        }
    }
    return earliest;
}

}  // namespace voltaro
