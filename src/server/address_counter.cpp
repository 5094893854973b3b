#include "server/address_counter.h"

namespace voltaro::server {

bool AddressCounter::add(const std::string& address) {
    if (limit_ == 0) {
        return true;
    }
    std::size_t& open = open_[address];
    if (open >= limit_) {
        return false;
    }
    ++open;
    return true;
}

void AddressCounter::remove(const std::string& address) {
    if (limit_ == 0) {
        return;
    }
    const auto found = open_.find(address);
    if (found != open_.end() && --found->second == 0) {
        open_.erase(found);
    }
}

std::size_t AddressCounter::count(const std::string& address) const {
    const auto found = open_.find(address);
    return found == open_.end() ? 0 : found->second;
}

}  // namespace voltaro::server
