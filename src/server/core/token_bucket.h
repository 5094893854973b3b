#pragma once

#include <algorithm>
#include <cstddef>

#include "server/core/duration.h"

namespace voltaro::server {

// So many at once, then a steady rate: `capacity` tokens, full at first, refilled evenly over
// `refill`. What is left is kept as time, so that the rate is exact in whole nanoseconds; time
// that goes back refills nothing. A capacity of 0 never gives one.
class TokenBucket {
  public:
    TokenBucket(std::size_t capacity, Duration refill, Duration now = Duration{0});

    bool hasOne(Duration now) const { return creditAt(now) >= cost_; }
    bool full(Duration now) const { return creditAt(now) >= refill_; }
    // Takes one token at `now`; false (and nothing taken) when none is left.
    bool take(Duration now);

  private:
    Duration creditAt(Duration now) const {
        return now > counted_ ? std::min(refill_, credit_ + (now - counted_)) : credit_;
    }

    Duration refill_;
    Duration cost_;  // of one token
    Duration credit_;
    Duration counted_;
};

}  // namespace voltaro::server
