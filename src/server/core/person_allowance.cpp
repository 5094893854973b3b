#include "server/core/person_allowance.h"

#include <algorithm>

namespace voltaro::server {

PersonAllowance::PersonAllowance(int share, Duration window)
    : share_(static_cast<std::size_t>(std::max(share, 0))),
      window_(std::max(window, Duration(1))) {}

bool PersonAllowance::left(const std::string& person, Duration now) const {
    const auto found = spent_.find(person);
    return found == spent_.end() ? share_ >= 1 : found->second.hasOne(now);
}

bool PersonAllowance::take(const std::string& person, Duration now) {
    forgetWhole(now);
    const auto found = spent_.try_emplace(person, share_, window_, now).first;
    return found->second.take(now);
}

// At most once a window, so that the sweep costs each spending a constant on average.
void PersonAllowance::forgetWhole(Duration now) {
    if (now < nextSweep_) {
        return;
    }
    nextSweep_ = now + window_;
    std::erase_if(spent_, [&](const auto& entry) { return entry.second.full(now); });
}

}  // namespace voltaro::server
