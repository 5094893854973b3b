#pragma once

#include <cstdint>
#include <string_view>

#include "scene/side_keys.h"

namespace voltaro::online {

// Where a connection sits in a room: one of the two players, or watching.
enum class Seat : std::uint8_t { Red, Blue, Spectator };

inline constexpr Seat seatOf(Side side) {
    return side == Side::Red ? Seat::Red : Seat::Blue;
}

// The seat as messages, options and the page name it: "red", "blue", "spectator".
inline constexpr std::string_view seatName(Seat seat) {
    switch (seat) {
        case Seat::Red:
            return "red";
        case Seat::Blue:
            return "blue";
        case Seat::Spectator:
            break;
    }
    return "spectator";
}

// A player's colour as the players read it, in a sentence or a title: "Red", "Blue".
inline constexpr std::string_view colourName(Seat seat) {
    return seat == Seat::Red ? "Red" : "Blue";
}

}  // namespace voltaro::online
