#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "server/core/duration.h"

namespace voltaro::server {

// Why the server turned something away: each kind counted for the operator's figures, and
// logged now and then, so that an attack shows in the journal without filling the disk.
enum class Refusal : std::uint8_t {
    PerAddress,       // too many open connections from one address (or IPv6 /64)
    ConnectionCap,    // the server has as many connections as it can hold
    ConnectionRate,   // too many new connections from one address
    RoomQuota,        // too many rooms from one address
    CodeGuesses,      // too many wrong room codes from one address
    MessageRate,      // too many frames on one connection
    SlowReader,       // a connection that left too much unread
    Origin,           // a page of another site, or a Host the server does not answer to
    Malformed,        // a message, frame or request that breaks the rules
    Idle,             // no hello, or a connection left in the lobby, too long
    HeldKeys,         // more keys held than a keyboard can
    RequestTooLarge,  // an HTTP request bigger than any page needs
    kCount
};

// The name of a kind of refusal in the figures and the log ("per_address", ...).
std::string_view refusalName(Refusal reason);

class Refusals {
  public:
    // Where the lines go; standard error unless replaced (a test keeps them).
    using Sink = std::function<void(const std::string& line)>;

    Refusals();
    explicit Refusals(Sink sink);

    // Counts one refusal of `who` (an address, a room, ...) at `now`. The first of each kind is
    // logged at once, later ones at most once every kLogEvery with how many came meanwhile.
    void count(Refusal reason, std::string_view who, Duration now);
    std::uint64_t total(Refusal reason) const { return totals_[index(reason)]; }

    static constexpr Duration kLogEvery = std::chrono::seconds(10);

  private:
    static std::size_t index(Refusal reason) { return static_cast<std::size_t>(reason); }

    Sink sink_;
    std::array<std::uint64_t, static_cast<std::size_t>(Refusal::kCount)> totals_{};
    std::array<std::uint64_t, static_cast<std::size_t>(Refusal::kCount)> unlogged_{};
    std::array<Duration, static_cast<std::size_t>(Refusal::kCount)> logged_{};
    std::array<bool, static_cast<std::size_t>(Refusal::kCount)> everLogged_{};
};

}  // namespace voltaro::server
