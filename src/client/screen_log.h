#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace voltaro::client {

class MatchView;
class ReplayViewer;

// A test's record of what a client showed, the same lines from the desktop game and the page:
// "tick N ..." for each tick the server made final, with the scene of the match there (which
// the server's record has too), "own key N tick N ..." once the player's own press shows on
// screen, with the scene it shows, "box N TEXT | tick N ..." for a box as it opens, "over tick
// 0 ..." for the end, "status ..." for the sentence, "digest mismatch at tick N" when the
// client's match disagreed with the server's, "key N" for a key the player pressed, and
// "replay ..." for what the player's replay of a match shows. The
// host writes each line with the time it showed it, after drawing.
class ScreenLog {
  public:
    // The lines that what `match` shows now adds: each only when it differs from the one
    // before of its kind.
    std::vector<std::string> linesFor(const MatchView& match);
    // What a replay shows: "replay tick N ...", or "replay box TEXT | tick N ..." under a box;
    // nothing when it shows what it showed before.
    std::vector<std::string> linesFor(const ReplayViewer& viewer);
    static std::string keyLine(std::int16_t code);

  private:
    std::string lastScene_;
    std::string lastStatus_;
    std::string lastReplay_;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> lastFinal_;  // match, tick
    std::uint64_t ownPresses_ = 0;
    std::uint64_t mismatches_ = 0;
};

}  // namespace voltaro::client
