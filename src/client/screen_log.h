#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace voltaro::client {

class MatchView;

// A test's record of what a client showed, the same lines from the desktop game and the page:
// "tick N ..." for each scene of the match, "box N TEXT | tick N ..." for a box as it opens,
// "over tick 0 ..." for the end, "status ..." for the sentence, and "key N" for a key the
// player pressed. The host writes each line with the time it showed it.
class ScreenLog {
  public:
    // The lines that what `match` shows now adds: each only when it differs from the one
    // before of its kind.
    std::vector<std::string> linesFor(const MatchView& match);
    static std::string keyLine(std::int16_t code);

  private:
    std::string lastScene_;
    std::string lastStatus_;
};

}  // namespace voltaro::client
