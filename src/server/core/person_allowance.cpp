#include "server/core/person_allowance.h"

#include <algorithm>

namespace voltaro::server {

PersonAllowance::PersonAllowance(int share, Duration window)
    : share_(std::max(share, 0)), window_(std::max(window, Duration(1))) {}

double PersonAllowance::leftAt(const Spent& spent, Duration now) const {
    const double windows =
        std::chrono::duration<double>(now - spent.counted) / std::chrono::duration<double>(window_);
    return std::min(share_, spent.left + std::max(windows, 0.0) * share_);
}

bool PersonAllowance::left(const std::string& person, Duration now) const {
    const auto found = spent_.find(person);
    return found == spent_.end() ? share_ >= 1 : leftAt(found->second, now) >= 1;
}

bool PersonAllowance::take(const std::string& person, Duration now) {
    forgetWhole(now);
    const auto [found, fresh] = spent_.try_emplace(person, Spent{share_, now});
    Spent& spent = found->second;
    spent.left = leftAt(spent, now);
    spent.counted = now;
    if (spent.left < 1) {
        return false;
    }
    spent.left -= 1;
    return true;
}

// At most once a window, so that the sweep costs each spending a constant on average.
void PersonAllowance::forgetWhole(Duration now) {
    if (now < nextSweep_) {
        return;
    }
    nextSweep_ = now + window_;
    std::erase_if(spent_, [&](const auto& entry) { return leftAt(entry.second, now) >= share_; });
}

}  // namespace voltaro::server
