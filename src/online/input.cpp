#include <algorithm>
#include <cmath>

#include "online/protocol.h"

namespace voltaro::online {

namespace {

// Milliseconds within [shortest, longest], to the nearest microsecond; `usual` when not a number.
std::uint32_t boundedMicros(double ms, double shortest, double longest, std::uint32_t usual) {
    if (!std::isfinite(ms)) {
        return usual;
    }
    return static_cast<std::uint32_t>(std::lround(std::clamp(ms, shortest, longest) * 1000));
}

}  // namespace

RepeatTiming clampedRepeat(double delayMs, double intervalMs) {
    const RepeatTiming usual;
    return {boundedMicros(delayMs, kShortestRepeatDelayMs, kLongestRepeatDelayMs, usual.delayUs),
            boundedMicros(intervalMs, kShortestRepeatIntervalMs, kLongestRepeatIntervalMs,
                          usual.intervalUs)};
}

}  // namespace voltaro::online
