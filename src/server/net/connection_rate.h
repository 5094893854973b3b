#pragma once

#include <cstddef>
#include <string>

#include "server/core/duration.h"
#include "server/core/person_allowance.h"

namespace voltaro::server {

// How many new connections one person (personKey()) may open: a few seconds' worth at once,
// enough for a page and its files and a reconnect or two, then a steady rate (a token bucket
// each). One machine cannot churn thousands of connections a second.
class NewConnectionRate {
  public:
    // `perSecond` 0: no limit.
    explicit NewConnectionRate(std::size_t perSecond);

    // Takes one new connection of `person` at `now`; false when it is over the rate.
    bool take(const std::string& person, Duration now);
    std::size_t people() const { return allowance_.peopleKept(); }

    static constexpr Duration kBurst = std::chrono::seconds(5);

  private:
    bool unlimited_;
    PersonAllowance allowance_;  // kBurst's worth of connections, refilled over kBurst
};

}  // namespace voltaro::server
