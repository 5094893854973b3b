#include "server/core/latency_histogram.h"

#include <algorithm>
#include <cmath>

namespace voltaro::server {

void LatencyHistogram::add(Duration duration) {
    duration = std::max(duration, Duration::zero());
    const auto step = static_cast<std::size_t>(duration / kStep);
    ++counts_[std::min(step, kSteps)];
    ++count_;
    max_ = std::max(max_, duration);
    sum_ += duration;
}

void LatencyHistogram::clear() {
    counts_.fill(0);
    count_ = 0;
    max_ = Duration::zero();
    sum_ = Duration::zero();
}

std::uint64_t LatencyHistogram::countBelow(Duration bound) const {
    const auto steps =
        std::min(static_cast<std::size_t>(std::max(bound, Duration::zero()) / kStep), kSteps + 1);
    std::uint64_t below = 0;
    for (std::size_t step = 0; step < steps; ++step) {
        below += counts_[step];
    }
    return below;
}

Duration LatencyHistogram::percentile(double fraction) const {
    if (count_ == 0) {
        return Duration::zero();
    }
    const auto wanted =
        std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::ceil(fraction * count_)));
    std::uint64_t seen = 0;
    for (std::size_t step = 0; step < kSteps; ++step) {
        seen += counts_[step];
        if (seen >= wanted) {
            return std::min(max_, kStep * static_cast<Duration::rep>(step + 1));
        }
    }
    return max_;
}

}  // namespace voltaro::server
