#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "computer/ball_model.h"
#include "computer/key_presser.h"
#include "computer/level.h"
#include "computer/random_source.h"
#include "computer/side.h"
#include "computer/sighting.h"

namespace voltaro::computer {

// A computer player of one side. After every tick of the ball it is shown the screen, and it
// may answer with one key press of its own side, no sooner than a held key would repeat. It
// sees the screen late by its level's reaction time, and plays from what it saw alone: it
// keeps in mind where everyone stood at the last key press it made or saw the other player
// make, because that is what the ball rebounds from.
class ComputerPlayer final : public KeyPresser {
  public:
    // A held key repeats 30 times a second: no finger presses faster.
    static constexpr Duration kShortestGap = std::chrono::nanoseconds(std::chrono::seconds(1)) / 30;

    ComputerPlayer(Side side, Level level, std::uint64_t seed);

    Side side() const override { return side_; }
    Level level() const { return level_; }

    // The screen after a tick at the host's time `now`; the key code to press now, if any.
    std::optional<std::int16_t> afterTick(const Sighting& seen, Duration now) override;

  private:
    static constexpr int kMemory = 32;  // ticks of sightings kept: more than any reaction time

    struct Target {
        Point box;
        bool kick = false;  // a box to kick the ball from, rather than to wait in
    };

    const Sighting& seenAt(std::int64_t tick) const { return history_[tick % kMemory]; }
    bool mayPress(Duration now) const;
    void noticeOpponentStep(std::int64_t seenTick);
    BallState ballNow(std::int64_t seenTick) const;

    std::optional<Move> choose(const Sighting& seen, const BallState& ball, const Point& opponent);
    Target target(const Point& me, const BallState& ball);
    float aimedTop() const;
    std::optional<int> kickWorthMaking(const BallState& from) const;
    Point kickBox(const BallState& ball, int dy) const;
    bool kicks(const Point& box, const BallState& ball, int dy) const;
    int pressesTo(const Point& from, const Point& to) const;
    float valueOf(const PressMemory& press, BallState ball, int ticks) const;
    PressMemory pressWith(const BallState& ball, const Point& me, const Point& opponent) const;
    Point guardBox(const BallState& ball) const;
    Point clearOf(const Point& me, const BallState& ball) const;

    Side side_;
    Level level_;
    const LevelTraits& traits_;
    int forward_;
    RandomSource random_;
    std::array<Sighting, kMemory> history_{};
    std::int64_t tick_ = -1;
    PressMemory press_;          // the last key press, as far as this player knows
    std::int64_t pressAt_ = -1;  // when, in half ticks
    std::optional<Duration> lastPress_;
    std::int64_t lastPressTick_ = -1000;
    float aim_ = 0;  // this approach's aim, off the goal's middle
    int aimedDx_ = 0;
};

}  // namespace voltaro::computer
