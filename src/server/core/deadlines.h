#pragma once

#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

#include "server/core/transport.h"

namespace voltaro::server {

// At most one deadline per connection, soonest first: when the lobby closes a connection that
// has not done what it must in time. Setting, moving or clearing one costs a logarithm of how
// many there are, and finding those due looks at no other.
class Deadlines {
  public:
    void set(ConnectionId id, Duration due);
    void clear(ConnectionId id);
    void clearAll();
    Duration next() const;  // Duration::max() when there is none
    // The connection whose deadline is soonest, when it is due at `now`; that deadline is gone.
    std::optional<ConnectionId> takeDue(Duration now);

  private:
    std::set<std::pair<Duration, ConnectionId>> soonestFirst_;
    std::unordered_map<ConnectionId, Duration> dueOf_;
};

}  // namespace voltaro::server
