#include "server/net/connection_rate.h"

namespace voltaro::server {

NewConnectionRate::NewConnectionRate(std::size_t perSecond)
    : unlimited_(perSecond == 0),
      allowance_(static_cast<int>(perSecond *
                                  std::chrono::duration_cast<std::chrono::seconds>(kBurst).count()),
                 kBurst) {}

bool NewConnectionRate::take(const std::string& person, Duration now) {
    return unlimited_ || allowance_.take(person, now);
}

}  // namespace voltaro::server
