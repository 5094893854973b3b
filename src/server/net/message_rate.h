#pragma once

#include <cstddef>

#include "server/core/transport.h"

namespace voltaro::server {

// How many messages one connection may send: a second's worth at once, then a steady rate
// (a token bucket). A player's key presses and releases come nowhere near it; a flood does.
class MessageRate {
  public:
    explicit MessageRate(std::size_t perSecond);

    // Takes one message received at `now`; false when it is over the rate.
    bool take(Duration now);

  private:
    Duration cost_;
    Duration credit_;
    Duration last_{0};
};

}  // namespace voltaro::server
