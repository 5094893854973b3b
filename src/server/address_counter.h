#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>

namespace voltaro::server {

// Open connections per peer address, so that one machine cannot take every socket the server
// has. A limit of 0 counts nothing: behind a reverse proxy every peer is the proxy, which limits
// its clients itself.
class AddressCounter {
  public:
    explicit AddressCounter(std::size_t limit) : limit_(limit) {}

    // Counts a new connection from `address`; false, and nothing counted, when it has its limit.
    bool add(const std::string& address);
    void remove(const std::string& address);
    std::size_t count(const std::string& address) const;

  private:
    std::size_t limit_;
    std::unordered_map<std::string, std::size_t> open_;
};

// One counted connection, given back when the connection (which owns it) is gone.
class AddressSlot {
  public:
    AddressSlot(AddressCounter& counter, std::string address)
        : counter_(&counter), address_(std::move(address)) {}
    AddressSlot(AddressSlot&& other) noexcept
        : counter_(std::exchange(other.counter_, nullptr)), address_(std::move(other.address_)) {}
    AddressSlot& operator=(AddressSlot&&) = delete;
    const std::string& address() const { return address_; }
    ~AddressSlot() {
        if (counter_ != nullptr) {
            counter_->remove(address_);
        }
    }

  private:
    AddressCounter* counter_;
    std::string address_;
};

}  // namespace voltaro::server
