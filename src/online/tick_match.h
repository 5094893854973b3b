#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "online/input.h"
#include "online/match_snapshot.h"
#include "online/scene.h"

namespace voltaro::online {

// What a match leaves for its record, as the replay tool reads it: "# tick N" before the first
// event of a tick, then "ball", "goal" and "key N" lines in the order they reached the form.
class MatchLog {
  public:
    virtual ~MatchLog() = default;
    virtual void tick(std::uint32_t number) = 0;
    virtual void line(std::string_view text) = 0;
    virtual void comment(std::string_view text) = 0;
    virtual void finish() = 0;  // the match ended
};

// One online match as a pure function of its inputs: Form1 on the paced 64 Hz grid, stepped one
// tick at a time, with each player's held keys and their repeats. The server, every player and
// every spectator run it on the same inputs and get the same scene at every tick, to the bit.
//
// Tick t (t >= 1) runs, in this order: the timers due at t's grid point (in the form's list
// order: the goal, then the ball), the repeats due by then (the player whose repeat fell due first
// going first), then the inputs of tick t in the order given. Tick 0 is the match as loaded: inputs
// at tick 0 act before the first timer tick.
//
// A message box does not wait here: it is noted with the scene as it stood when it opened, the
// procedure runs to its end, and nothing more reaches the form (the box always ends the match:
// a goal ends it, and so does a run-time error).
class TickMatch {
  public:
    static constexpr std::int64_t kPeriodUs = 15625;  // the paced grid: 64 ticks a second

    using Box = MatchBox;

    // Everything that decides what the match does from here: restoring it into any TickMatch
    // makes that one go on exactly as this one would. Its encoding is a short text (snapshot.h).
    using Snapshot = MatchSnapshot;

    explicit TickMatch(MatchLog* log = nullptr);
    ~TickMatch();
    TickMatch(const TickMatch&) = delete;
    TickMatch& operator=(const TickMatch&) = delete;

    // The tick the match stands at: 0 after loading, t after step() for tick t.
    std::uint32_t tick() const;

    // Runs tick tick()+1 with its inputs (all of them that tick's, in order).
    void step(std::span<const Input> inputs = {});
    // Inputs at the tick the match stands at, after everything of it so far (tick 0 included).
    void apply(std::span<const Input> inputs);

    bool paused() const;
    // The match is over: a box opened (the goal's, or a run-time error's). Nothing runs after.
    bool ended() const;
    // The boxes the match showed, in order, each over its own scene.
    const std::vector<Box>& boxes() const;
    Scene scene() const;

    Snapshot snapshot() const;
    // Takes the state of a snapshot made by any TickMatch. The log, if any, is not written.
    void restore(const Snapshot& snapshot);
    // Of the encoded snapshot: the same on every platform (snapshot.h).
    std::uint64_t digest() const;

  private:
    class Engine;
    std::unique_ptr<Engine> engine_;
};

// The key code the form knows for what a player pressed: their own piece's arrow for an arrow or
// for W/A/S/D; any other key as it is (it only refreshes the box snapshot, as on the desktop).
std::int16_t ownKeyCode(Seat player, std::int16_t pressed);

}  // namespace voltaro::online
