#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace voltaro::computer {

enum class Side { Red, Blue };

inline constexpr Side opponentOf(Side side) {
    return side == Side::Red ? Side::Blue : Side::Red;
}

// Red attacks the goal on the right, blue the one on the left: +1 or -1 along x.
inline constexpr int forwardOf(Side side) {
    return side == Side::Red ? 1 : -1;
}

// The four keys of a side, as the form's key codes, in the order up, down, left, right.
enum class Move { Up, Down, Left, Right };
inline constexpr std::array<Move, 4> kMoves = {Move::Up, Move::Down, Move::Left, Move::Right};

inline constexpr std::int16_t keyCode(Side side, Move move) {
    constexpr std::array<std::int16_t, 4> red = {38, 40, 37, 39};   // the arrows
    constexpr std::array<std::int16_t, 4> blue = {87, 83, 65, 68};  // W, S, A, D
    return (side == Side::Red ? red : blue)[static_cast<int>(move)];
}

inline constexpr std::string_view sideName(Side side) {
    return side == Side::Red ? "red" : "blue";
}

}  // namespace voltaro::computer
