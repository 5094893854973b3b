#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "computer/side.h"
#include "computer/sighting.h"

namespace voltaro::computer {

// Anything that plays a side by its keys: shown the screen after each tick of the ball, it
// answers with the key code to press now, if any.
class KeyPresser {
  public:
    using Duration = std::chrono::nanoseconds;

    virtual ~KeyPresser() = default;
    virtual Side side() const = 0;
    virtual std::optional<std::int16_t> afterTick(const Sighting& seen, Duration now) = 0;
};

}  // namespace voltaro::computer
