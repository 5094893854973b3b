#include "scene/paced_timers.h"

#include <algorithm>
#include <variant>

namespace voltaro {

void PacedTimers::start(const Controls& controls, Duration start) {
    timers_.clear();
    for (const AnyControl& control : controls.inListOrder()) {
        if (const auto* timer = std::get_if<Timer>(&control); timer && timer->Enabled()) {
            timers_.push_back(
                {timer, TickSchedule(std::chrono::milliseconds(timer->Interval()), start)});
        }
    }
}

PacedTimers::Due PacedTimers::takeDue(Duration now) {
    Due due;
    for (Paced& paced : timers_) {
        if (paced.schedule.due(now) && due.count < due.timers.size()) {
            due.timers[due.count++] = paced.timer;
            paced.schedule.delivered(now);
        }
    }
    return due;
}

void PacedTimers::dropDue(Duration now) {
    for (Paced& paced : timers_) {
        if (paced.schedule.due(now)) {
            paced.schedule.delivered(now);
        }
    }
}

std::vector<PacedTimers::Duration> PacedTimers::deadlines() const {
    std::vector<Duration> all;
    all.reserve(timers_.size());
    for (const Paced& paced : timers_) {
        all.push_back(paced.schedule.nextDue());
    }
    return all;
}

void PacedTimers::restore(std::span<const Duration> deadlines) {
    for (std::size_t i = 0; i < timers_.size() && i < deadlines.size(); ++i) {
        timers_[i].schedule.restore(deadlines[i]);
    }
}

PacedTimers::Duration PacedTimers::nextWakeUp(const KeyRepeat& keys) const {
    auto next = Duration::max();
    for (const Paced& paced : timers_) {
        next = std::min(next, paced.schedule.nextDue());
    }
    if (const auto repeat = keys.nextDue()) {
        next = std::min(next, *repeat);
    }
    return next;
}

}  // namespace voltaro
