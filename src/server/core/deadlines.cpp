#include "server/core/deadlines.h"

namespace voltaro::server {

void Deadlines::set(ConnectionId id, Duration due) {
    const auto [found, fresh] = dueOf_.try_emplace(id, due);
    if (!fresh) {
        soonestFirst_.erase({found->second, id});
        found->second = due;
    }
    soonestFirst_.insert({due, id});
}

void Deadlines::clear(ConnectionId id) {
    if (const auto found = dueOf_.find(id); found != dueOf_.end()) {
        soonestFirst_.erase({found->second, id});
        dueOf_.erase(found);
    }
}

void Deadlines::clearAll() {
    soonestFirst_.clear();
    dueOf_.clear();
}

Duration Deadlines::next() const {
    return soonestFirst_.empty() ? Duration::max() : soonestFirst_.begin()->first;
}

std::optional<ConnectionId> Deadlines::takeDue(Duration now) {
    if (soonestFirst_.empty() || soonestFirst_.begin()->first > now) {
        return std::nullopt;
    }
    const ConnectionId id = soonestFirst_.begin()->second;
    soonestFirst_.erase(soonestFirst_.begin());
    dueOf_.erase(id);
    return id;
}

}  // namespace voltaro::server
