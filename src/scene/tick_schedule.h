#pragma once

#include <chrono>

namespace voltaro {

// The first point after `now` of the grid that runs from `due` in steps of `period`: after a
// stall, what was missed is skipped rather than made up in a burst. `now` is at or after `due`.
constexpr std::chrono::nanoseconds nextOnGrid(std::chrono::nanoseconds due,
                                              std::chrono::nanoseconds period,
                                              std::chrono::nanoseconds now) {
    return due + period * ((now - due) / period + 1);
}

// Paces one timer of the form. The intervals the form asks for (2 and 3 ms) are far below what
// the classic desktop timer delivered, and the ball moves one step per tick, so no timer ticks
// faster than that timer's 64 a second. Deadlines lie on a fixed grid from the start, so ticks do
// not drift; after a stall the late tick is delivered once and the grid resumes, with no burst.
class TickSchedule {
  public:
    using Duration = std::chrono::nanoseconds;
    static constexpr Duration kShortestPeriod = std::chrono::microseconds(15625);

    TickSchedule(std::chrono::milliseconds requested, Duration start);

    Duration period() const { return period_; }
    Duration nextDue() const { return nextDue_; }
    bool due(Duration now) const { return now >= nextDue_; }

    // The tick due at or before `now` has been delivered: the next one is the first grid point
    // after `now`.
    void delivered(Duration now);
    // Takes back a deadline saved from nextDue().
    void restore(Duration nextDue) { nextDue_ = nextDue; }

  private:
    Duration period_;
    Duration nextDue_;
};

}  // namespace voltaro
