#include "server/connection_rate.h"

#include <algorithm>

namespace voltaro::server {

namespace {
// How often buckets that have filled up again are forgotten, so that the map holds only the
// people seen lately.
constexpr Duration kSweepEvery = std::chrono::seconds(10);
}  // namespace

NewConnectionRate::NewConnectionRate(std::size_t perSecond)
    : cost_(perSecond == 0
                ? Duration(0)
                : Duration(std::chrono::seconds(1)) / static_cast<Duration::rep>(perSecond)) {}

bool NewConnectionRate::take(const std::string& person, Duration now) {
    if (cost_ == Duration(0)) {
        return true;
    }
    forgetFull(now);
    const auto [found, fresh] = buckets_.try_emplace(person, Bucket{kBurst, now});
    Bucket& bucket = found->second;
    if (!fresh && now > bucket.last) {
        bucket.credit = std::min(kBurst, bucket.credit + (now - bucket.last));
        bucket.last = now;
    }
    if (bucket.credit < cost_) {
        return false;
    }
    bucket.credit -= cost_;
    return true;
}

void NewConnectionRate::forgetFull(Duration now) {
    if (now - swept_ < kSweepEvery) {
        return;
    }
    swept_ = now;
    std::erase_if(buckets_, [now](const auto& entry) {
        return entry.second.credit + (now - entry.second.last) >= kBurst;
    });
}

}  // namespace voltaro::server
