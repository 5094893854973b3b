#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>

namespace voltaro::server {

// Open connections, per person (personKey(): an address, an IPv6 /64) and in all: one machine
// cannot take every socket the server has, and the server never takes more sockets than the
// descriptors it may open. A per-person limit of 0 counts every person as unlimited.
class AddressCounter {
  public:
    AddressCounter(std::size_t perPerson, std::size_t total);

    enum class Added { Yes, PersonFull, ServerFull };
    // Counts a new connection of `person`; nothing is counted unless Yes. `limited` false: the
    // person's limit does not apply (a trusted proxy, which carries many people).
    Added add(const std::string& person, bool limited);
    // Counts one connection of `from` as `to`'s from now on, where `to`'s limit allows.
    bool move(const std::string& from, const std::string& to);
    void remove(const std::string& person);
    std::size_t count(const std::string& person) const;
    std::size_t total() const { return total_; }

  private:
    std::size_t perPerson_;
    std::size_t most_;
    std::size_t total_ = 0;
    std::unordered_map<std::string, std::size_t> open_;
};

// One counted connection, given back when the connection (which owns it) is gone. `address` is
// the peer's, or the client's that a trusted proxy named, as it is; `person()` its key.
class AddressSlot {
  public:
    AddressSlot(AddressCounter& counter, std::string address);
    AddressSlot(AddressSlot&& other) noexcept
        : counter_(std::exchange(other.counter_, nullptr)),
          address_(std::move(other.address_)),
          person_(std::move(other.person_)) {}
    AddressSlot& operator=(AddressSlot&&) = delete;
    ~AddressSlot();

    const std::string& address() const { return address_; }
    const std::string& person() const { return person_; }
    // Counts the connection as `address`'s from now on; false, and nothing changed, when that
    // person has their limit.
    bool moveTo(std::string address);

  private:
    AddressCounter* counter_;
    std::string address_;
    std::string person_;
};

}  // namespace voltaro::server
