#pragma once

#include <optional>
#include <string_view>

#include "online/seat.h"
#include "scene/side_keys.h"

namespace voltaro::computer {

using voltaro::keyCode;
using voltaro::kMoves;
using voltaro::Move;
using voltaro::Side;

inline constexpr Side opponentOf(Side side) {
    return side == Side::Red ? Side::Blue : Side::Red;
}

// Red attacks the goal on the right, blue the one on the left: +1 or -1 along x.
inline constexpr int forwardOf(Side side) {
    return side == Side::Red ? 1 : -1;
}

inline constexpr std::string_view sideName(Side side) {
    return online::seatName(online::seatOf(side));
}

}  // namespace voltaro::computer
