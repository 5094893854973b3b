#pragma once

#include "computer/key_presser.h"
#include "computer/random_source.h"

namespace voltaro::computer {

// The measure of the levels: a player who presses a random key of its side, at a person's
// rate (every 3 to 15 ticks, about 7 a second), whatever the ball does.
class RandomPresser final : public KeyPresser {
  public:
    RandomPresser(Side side, std::uint64_t seed) : side_(side), random_(seed) {}

    Side side() const override { return side_; }
    std::optional<std::int16_t> afterTick(const Sighting& seen, Duration now) override;

  private:
    Side side_;
    RandomSource random_;
    int wait_ = 0;
};

}  // namespace voltaro::computer
