#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "scene/controls.h"
#include "scene/key_repeat.h"
#include "scene/tick_schedule.h"

namespace voltaro {

// The form's enabled timers, each on its own paced grid. Every host wakes once for all of them
// and the held keys, and delivers what is due in the same order.
class PacedTimers {
  public:
    using Duration = TickSchedule::Duration;

    // The timers due at one wake-up, in list order.
    struct Due {
        std::array<const Timer*, 8> timers{};
        std::size_t count = 0;
        const Timer* const* begin() const { return timers.data(); }
        const Timer* const* end() const { return timers.data() + count; }
    };

    // Every enabled timer of the form, in list order, its grid starting at `start`.
    void start(const Controls& controls, Duration start);

    // The timers due at `now`, each marked delivered: one tick each, however late.
    Due takeDue(Duration now);
    // What fell due up to `now` is dropped, as ticks under a message box are.
    void dropDue(Duration now);

    // The next moment a timer or a held key's repeat is due; Duration::max() when nothing is.
    Duration nextWakeUp(const KeyRepeat& keys) const;

    // Each timer's next deadline, in list order, to be taken back by restore() on the same form.
    std::vector<Duration> deadlines() const;
    void restore(std::span<const Duration> deadlines);

  private:
    struct Paced {
        const Timer* timer;
        TickSchedule schedule;
    };

    std::vector<Paced> timers_;
};

}  // namespace voltaro
