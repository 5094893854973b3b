#include "scene/tick_schedule.h"

#include <algorithm>

namespace voltaro {

TickSchedule::TickSchedule(std::chrono::milliseconds requested, Duration start)
    : period_(std::max<Duration>(requested, kShortestPeriod)), nextDue_(start + period_) {}

void TickSchedule::delivered(Duration now) {
    if (now < nextDue_) {
        return;
    }
    nextDue_ = nextOnGrid(nextDue_, period_, now);
}

}  // namespace voltaro
