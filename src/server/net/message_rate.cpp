#include "server/net/message_rate.h"

#include <algorithm>
#include <chrono>

namespace voltaro::server {

namespace {
constexpr Duration kBurst = std::chrono::seconds(1);
}

MessageRate::MessageRate(std::size_t perSecond)
    : cost_(kBurst / static_cast<Duration::rep>(std::max<std::size_t>(perSecond, 1))),
      credit_(kBurst) {}

bool MessageRate::take(Duration now) {
    if (now > last_) {
        credit_ = std::min(kBurst, credit_ + (now - last_));
        last_ = now;
    }
    if (credit_ < cost_) {
        return false;
    }
    credit_ -= cost_;
    return true;
}

}  // namespace voltaro::server
