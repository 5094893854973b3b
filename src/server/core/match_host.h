#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "online/input.h"
#include "online/protocol.h"
#include "online/tick_match.h"
#include "server/core/duration.h"
#include "server/core/input_gate.h"
#include "server/core/match_record.h"

namespace voltaro::server {

// The server's side of one online match: the judge. It gives every player's input its tick
// (within the window behind the present tick, never at a final one), keeps the inputs of the
// ticks still open, and makes ticks final in batches once the window has passed them: the final
// match, a TickMatch, is played on through them and writes the record. The clients play the
// same inputs on their own copies; the digest at each final tick tells them they agree.
//
// A message box ends the match here (the procedure runs to its end at once, as it must on a
// server where nobody waits): the room shows the boxes the final match noted, one by one.
class MatchHost {
  public:
    // `repeats`: each player's repeat settings (red's, blue's), in the match from tick 0.
    MatchHost(Duration start, MatchRecord record, std::array<online::RepeatTiming, 2> repeats);
    MatchHost(const MatchHost&) = delete;
    MatchHost& operator=(const MatchHost&) = delete;

    struct Taking {
        InputGate::Verdict verdict;
        online::Input input;  // with the tick it acts at, when taken
        // Whether its sender needs it back to know its place: it acts at another tick than its
        // stamp, or after an input that came before it for the same tick.
        bool placedElsewhere = false;
    };
    // A player's input, stamped with the tick their match was at: taken at its tick, or turned
    // away (while paused or after the end too).
    Taking take(online::Input input, Duration now);

    // Makes final every tick the window has passed by `now`; true when the final tick moved.
    bool finalise(Duration now);
    // The final match is played on 8 times a second, more often than the clients are told of
    // final ticks: a box it meets is shown no more than a step after the window has passed it.
    static constexpr std::uint32_t kStepEveryTicks = 8;
    static_assert(online::kFinalEveryTicks % kStepEveryTicks == 0,
                  "the final ticks the clients hear of lie on whole steps");
    // When finalise() next has a batch to make final; Duration::max() while paused or ended.
    Duration nextWakeUp() const;

    // Every tick up to the present one becomes final, a Pause at its end: the tick paused at.
    // Nothing changes when the match has ended or is paused already.
    std::uint32_t pause(Duration now);
    // Play goes on after the present tick, the ticks since the pause dropped: the resume's tick.
    std::uint32_t resume(Duration now);
    bool paused() const { return final_.paused(); }
    bool ended() const { return final_.ended(); }

    std::uint32_t presentTick(Duration now) const;
    std::uint32_t finalTick() const { return final_.tick(); }
    std::uint64_t digest() const { return final_.digest(); }
    // The server's clock at tick 0, in microseconds, as Pong tells the time.
    std::int64_t startUs() const;
    // The last seq of that player's inputs dealt with.
    std::uint32_t lastSeq(online::Seat player) const { return gate_.lastSeq(player); }
    online::RepeatTiming repeat(online::Seat player) const { return gate_.repeat(player); }

    // The final match, encoded: what a late comer starts from. At the start it is the match as
    // loaded, and inputs may still come for its tick 0.
    std::string state() const;
    // The inputs taken for the ticks after the final one, in the order the match plays them.
    const std::vector<online::Input>& openInputs() const { return open_; }
    const std::vector<online::TickMatch::Box>& boxes() const { return final_.boxes(); }
    online::Scene scene() const { return final_.scene(); }
    // The match has ended and its record went to the writer whole.
    bool recorded() const { return record_.handedOverWhole(); }

  private:
    // Plays the final match on through tick `last` with the open inputs of each tick.
    void finaliseThrough(std::uint32_t last);
    void applyServerInput(online::Input::Kind kind);

    Duration start_;
    MatchRecord record_;  // before the match, which writes it
    online::TickMatch final_;
    InputGate gate_;
    std::vector<online::Input> open_;  // by tick, and within a tick in the order they came
    // The oldest tick an input may still act at: tick 0 at the start (its inputs act before the
    // first timer tick), else the one after the final tick.
    std::uint32_t oldestOpen_ = 0;
};

}  // namespace voltaro::server
