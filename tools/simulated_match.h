#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "computer/key_presser.h"

namespace voltaro {

// One match played headless, on the game's own clock in simulated time: the form's two timers
// on their paced grid, and after each tick each player's presses as key events.
struct MatchOutcome {
    std::optional<computer::Side> winner;     // none when the time ran out first
    std::int64_t ticks = 0;                   // ticks of the ball played
    std::chrono::nanoseconds playersTime{0};  // spent in the players' decisions
};

MatchOutcome playMatch(std::unique_ptr<computer::KeyPresser> red,
                       std::unique_ptr<computer::KeyPresser> blue, std::chrono::nanoseconds limit);

}  // namespace voltaro
