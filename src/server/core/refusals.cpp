#include "server/core/refusals.h"

#include <cstdio>
#include <utility>

namespace voltaro::server {

std::string_view refusalName(Refusal reason) {
    // In the order of the enumeration.
    static constexpr std::array<std::string_view, static_cast<std::size_t>(Refusal::kCount)> kNames{
        "per_address",  "connection_cap", "connection_rate", "room_quota",
        "code_guesses", "message_rate",   "slow_reader",     "origin",
        "malformed",    "idle",           "held_keys",       "request_too_large"};
    const auto i = static_cast<std::size_t>(reason);
    return i < kNames.size() ? kNames[i] : "unknown";
}

Refusals::Refusals()
    : Refusals([](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }) {}

Refusals::Refusals(Sink sink) : sink_(std::move(sink)) {}

void Refusals::count(Refusal reason, std::string_view who, Duration now) {
    const std::size_t i = index(reason);
    ++totals_[i];
    if (everLogged_[i] && now - logged_[i] < kLogEvery) {
        ++unlogged_[i];
        return;
    }
    std::string line = "voltaro-server: refused (";
    line += refusalName(reason);
    line += ") ";
    line += who.empty() ? std::string_view("a peer") : who;
    if (unlogged_[i] > 0) {
        line += ", and " + std::to_string(unlogged_[i]) + " more of this kind since the last line";
    }
    everLogged_[i] = true;
    logged_[i] = now;
    unlogged_[i] = 0;
    sink_(line);
}

}  // namespace voltaro::server
