#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "scene/tick_schedule.h"

namespace voltaro {

// Auto-repeat for each held key on its own. The desktop repeats only the key pressed last, which
// on one shared keyboard stops one player whenever the other presses a key; here every held key
// repeats on its own schedule: a first repeat after the delay, then one per interval.
class KeyRepeat {
  public:
    using Duration = std::chrono::nanoseconds;

    KeyRepeat(Duration delay, Duration interval);

    // The desktop's settings changed (or became known just after a press): keys that have not
    // repeated yet wait for the new delay from their press, and every key repeats at the new rate.
    void setTiming(Duration delay, Duration interval);
    Duration interval() const { return interval_; }

    // A key went down. False when it is held already: a repeat, which the schedule makes itself.
    bool press(int key, std::int16_t code, Duration now);
    void release(int key);
    void releaseAll();
    bool anyHeld() const { return !held_.empty(); }

    std::optional<Duration> nextDue() const;

    // Calls deliver(code) for each repeat due at `now`, earliest first, ties in the order the
    // keys were pressed. A key whose repeats were held up gets one, not a burst.
    template <typename Deliver>
    void deliverDue(Duration now, Deliver&& deliver);

    struct Held {
        int key;
        std::int16_t code;
        std::uint64_t order;  // of its press, among all presses so far
        Duration due;
        Duration pressedAt;
        bool repeated = false;
        friend bool operator==(const Held&, const Held&) = default;
    };
    // All the schedule holds: an online match saves it and takes it back to play a stretch again.
    struct State {
        Duration delay{};
        Duration interval{};
        std::vector<Held> held;
        std::uint64_t pressed = 0;
        friend bool operator==(const State&, const State&) = default;
    };
    State state() const { return {delay_, interval_, held_, pressed_}; }
    void restore(const State& state);

  private:
    Held* earliestDue(Duration now);

    Duration delay_;
    Duration interval_;
    std::vector<Held> held_;
    std::uint64_t pressed_ = 0;
};

template <typename Deliver>
void KeyRepeat::deliverDue(Duration now, Deliver&& deliver) {
    while (Held* key = earliestDue(now)) {
        key->due = nextOnGrid(key->due, interval_, now);
        key->repeated = true;
        deliver(key->code);
    }
}

}  // namespace voltaro
