#pragma once

#include <array>
#include <cstdint>

#include "server/core/duration.h"

namespace voltaro::server {

// Durations counted in 10 µs steps up to 100 ms (and one count beyond), for percentiles of tick
// lateness and delivery times that cost nothing to keep while the server is under load.
class LatencyHistogram {
  public:
    static constexpr Duration kStep = std::chrono::microseconds(10);
    static constexpr std::size_t kSteps = 10000;

    void add(Duration duration);
    void clear();
    std::uint64_t count() const { return count_; }
    Duration max() const { return max_; }
    Duration sum() const { return sum_; }
    // How many of the counted durations fall in the steps below `bound` (a multiple of kStep):
    // those shorter than it.
    std::uint64_t countBelow(Duration bound) const;
    // The least duration that `fraction` of the counted ones do not exceed (rounded up to a
    // step); the maximum beyond the last step.
    Duration percentile(double fraction) const;

  private:
    std::array<std::uint32_t, kSteps + 1> counts_{};
    std::uint64_t count_ = 0;
    Duration max_{0};
    Duration sum_{0};
};

}  // namespace voltaro::server
