#include "server/core/token_bucket.h"

namespace voltaro::server {

TokenBucket::TokenBucket(std::size_t capacity, Duration refill, Duration now)
    : refill_(std::max(refill, Duration(1))),
      cost_(capacity == 0 ? Duration::max() : refill_ / static_cast<Duration::rep>(capacity)),
      credit_(refill_),
      counted_(now) {}

bool TokenBucket::take(Duration now) {
    credit_ = creditAt(now);
    counted_ = std::max(counted_, now);
    if (credit_ < cost_) {
        return false;
    }
    credit_ -= cost_;
    return true;
}

}  // namespace voltaro::server
