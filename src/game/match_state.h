#pragma once

#include <string>

#include "game/integer.h"
#include "game/variant.h"

namespace voltaro {

using String = std::string;

// Form1's form-level variables, in the order the form declares them: the ball's two direction
// words, then the box snapshot that key presses take of the players and the ball. The last value
// of each group is an Integer, the others are Variants, so their kinds differ on purpose.
struct MatchState {
    String strDirX;
    String strDirY;
    Variant redLeft;
    Variant redRight;
    Variant redBottom;
    Integer redTop;
    Variant blueLeft;
    Variant blueRight;
    Variant blueBottom;
    Integer blueTop;
    Variant ballTop;
    Variant ballBottom;
    Integer ballRight;
    friend bool operator==(const MatchState&, const MatchState&) = default;
};

}  // namespace voltaro
