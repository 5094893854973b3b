#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "online/input.h"
#include "online/protocol.h"
#include "online/tick_match.h"

namespace voltaro::client {

// A client's copy of an online match. It holds the match at the last tick the server made
// final, the inputs the server has sent for the ticks after it, and this player's own inputs
// that the server has not dealt with yet; what the screen shows is the match played from the
// final tick through all of them to the present tick (own inputs after the server's at the same
// tick). The server sends an own input back only when it placed it elsewhere than its stamp
// says; one that a final tick says was dealt with, and that came neither back nor refused, acts
// at its stamp ahead of every other input of that tick.
// When the other player's input for an earlier tick arrives, the present is played again from
// the final tick: a rollback, never a guess kept.
//
// Boxes and the end come only from final ticks: where the predicted match would show a box,
// the screen stays on the scene as it stood when the box opened until the server says.
class PredictedMatch {
  public:
    // The match as the server sent it: its state at final tick `tick`.
    // False when the state is no snapshot (nothing changes then).
    bool start(std::uint32_t tick, const std::string& state);

    // The server took an input (anyone's, this player's own too: its seq says so).
    void confirmed(const online::Input& input, std::optional<online::Seat> own);
    // This player's own input, applied at once at tick input.tick (the present).
    void predicted(const online::Input& input);
    // The server turned this player's input `seq` away (or sent it back while this copy was
    // to be replaced): it is no longer this player's to predict.
    void dropOwn(std::uint32_t seq);
    // This player's inputs the server has not dealt with yet, in order.
    const std::vector<online::Input>& ownUnsettled() const { return own_; }
    // Every tick up to `tick` is final. Plays the final match on to it; false when its digest
    // is not `digest` (then the match here is wrong and is to be sent again: Resync). `ownSeq`:
    // the server has dealt with this player's inputs up to it (taken or turned away).
    bool finalTick(std::uint32_t tick, std::uint64_t digest, std::uint32_t ownSeq);

    // Plays the predicted match on to tick `present`, at most kMostAhead ticks past the final
    // one (a server that went quiet is not run away from). A server in good health is up to
    // kFinalEveryTicks and the window behind, and the way here 40 ticks more (625 ms): past
    // that the match waits.
    void advanceTo(std::uint32_t present);
    static constexpr std::uint32_t kMostAhead =
        online::kFinalEveryTicks + online::kWindowTicks + 40;

    bool started() const { return started_; }
    std::uint32_t finalTickNumber() const;
    // The final match's scene at that tick: what the server's record has there.
    online::Scene finalScene() const;
    std::uint32_t presentTick() const;
    // What the screen shows: the predicted scene at the present tick, or the scene of the
    // first box the prediction met.
    online::Scene scene() const;
    // How far the last replay moved what the screen showed, in twips: the largest of the
    // ball's and the pieces' jumps against what was shown before it (for measuring).
    float lastCorrection() const { return lastCorrection_; }
    std::uint64_t corrections() const { return corrections_; }

  private:
    // The first tick that still takes inputs: the one after the final tick, but at the match's
    // start tick 0 itself, whose inputs act before the first timer tick.
    std::uint32_t firstOpenTick() const { return final_.tick() + (startOpen_ ? 0 : 1); }
    // The tick at which an input acts here: none acts before the first open tick.
    std::uint32_t actingTick(const online::Input& input) const;
    // Everything that acts at `tick`: the server's inputs, then this player's own.
    std::span<const online::Input> inputsAt(std::uint32_t tick);
    // Something at or before the shown tick changed: play again from the final tick.
    void changedAt(std::uint32_t tick);
    // The own inputs up to `seq` that the server took where they were stamped.
    void settleOwn(std::uint32_t seq);
    void playAgain();
    void playTo(std::uint32_t tick);

    online::TickMatch final_;
    online::TickMatch shown_;                                     // stands at the present tick
    std::map<std::uint32_t, std::vector<online::Input>> server_;  // for the open ticks
    std::vector<online::Input> own_;                              // not echoed yet, in order
    std::vector<online::Input> acting_;                           // inputsAt()'s
    bool stale_ = false;      // shown_ is to be played again from final_
    bool startOpen_ = false;  // final_ stands at tick 0, whose inputs are not all in yet
    bool started_ = false;
    float lastCorrection_ = 0;
    std::uint64_t corrections_ = 0;
};

}  // namespace voltaro::client
