#include "server/core/match_queue.h"

namespace voltaro::server {

bool MatchQueue::add(ConnectionId id, std::string person) {
    if (where_.contains(id)) {
        return false;
    }
    order_.push_back({id, std::move(person)});
    where_[id] = std::prev(order_.end());
    return true;
}

bool MatchQueue::remove(ConnectionId id) {
    const auto found = where_.find(id);
    if (found == where_.end()) {
        return false;
    }
    order_.erase(found->second);
    where_.erase(found);
    return true;
}

std::optional<std::pair<MatchQueue::Place, MatchQueue::Place>> MatchQueue::takePair() {
    if (order_.size() < 2) {
        return std::nullopt;
    }
    Place longer = order_.front();
    Place shorter = *std::next(order_.begin());
    remove(longer.id);
    remove(shorter.id);
    return std::pair{std::move(longer), std::move(shorter)};
}

}  // namespace voltaro::server
