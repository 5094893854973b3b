#pragma once

#include <cstddef>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "server/core/transport.h"

namespace voltaro::server {

// The connections that wait for a quick match, the longest waiting first. A connection holds at
// most one place.
class MatchQueue {
  public:
    struct Place {
        ConnectionId id = 0;
        std::string person;
    };

    bool contains(ConnectionId id) const { return where_.contains(id); }
    std::size_t size() const { return order_.size(); }

    // At the end of the queue; false when the connection has a place already.
    bool add(ConnectionId id, std::string person);
    // False when it had no place.
    bool remove(ConnectionId id);
    // The longest waiting, still in its place; nothing when the queue is empty.
    const Place* first() const { return order_.empty() ? nullptr : &order_.front(); }
    // The two longest waiting, taken out of the queue, the longer waiting first; nothing (and
    // nobody taken) when fewer than two wait.
    std::optional<std::pair<Place, Place>> takePair();

  private:
    std::list<Place> order_;
    std::unordered_map<ConnectionId, std::list<Place>::iterator> where_;
};

}  // namespace voltaro::server
