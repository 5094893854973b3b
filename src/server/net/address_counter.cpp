#include "server/net/address_counter.h"

#include "server/core/person_key.h"

namespace voltaro::server {

AddressCounter::AddressCounter(std::size_t perPerson, std::size_t total)
    : perPerson_(perPerson), most_(total) {}

AddressCounter::Added AddressCounter::add(const std::string& person, bool limited) {
    if (total_ >= most_) {
        return Added::ServerFull;
    }
    std::size_t& open = open_[person];
    if (limited && perPerson_ != 0 && open >= perPerson_) {
        if (open == 0) {
            open_.erase(person);
        }
        return Added::PersonFull;
    }
    ++open;
    ++total_;
    return Added::Yes;
}

bool AddressCounter::move(const std::string& from, const std::string& to) {
    remove(from);
    if (add(to, true) == Added::Yes) {
        return true;
    }
    ++open_[from];  // back where it was, whatever the limits say
    ++total_;
    return false;
}

void AddressCounter::remove(const std::string& person) {
    const auto found = open_.find(person);
    if (found == open_.end()) {
        return;
    }
    --total_;
    if (--found->second == 0) {
        open_.erase(found);
    }
}

std::size_t AddressCounter::count(const std::string& person) const {
    const auto found = open_.find(person);
    return found == open_.end() ? 0 : found->second;
}

AddressSlot::AddressSlot(AddressCounter& counter, std::string address)
    : counter_(&counter), address_(std::move(address)), person_(personKey(address_)) {}

AddressSlot::~AddressSlot() {
    if (counter_ != nullptr) {
        counter_->remove(person_);
    }
}

bool AddressSlot::moveTo(std::string address) {
    std::string person = personKey(address);
    if (counter_ == nullptr || !counter_->move(person_, person)) {
        return false;
    }
    address_ = std::move(address);
    person_ = std::move(person);
    return true;
}

}  // namespace voltaro::server
