#pragma once

#include <array>
#include <cstdint>

namespace voltaro {

// The two players, and the keys that move each: red the arrows, blue W, S, A and D, as the
// form's key codes. Everything that presses a player's keys for someone (a pad, the computer,
// the match server) takes them from here.
enum class Side { Red, Blue };

enum class Move { Up, Down, Left, Right };
inline constexpr std::array<Move, 4> kMoves = {Move::Up, Move::Down, Move::Left, Move::Right};

inline constexpr std::int16_t keyCode(Side side, Move move) {
    constexpr std::array<std::int16_t, 4> red = {38, 40, 37, 39};   // the arrows
    constexpr std::array<std::int16_t, 4> blue = {87, 83, 65, 68};  // W, S, A, D
    return (side == Side::Red ? red : blue)[static_cast<int>(move)];
}

}  // namespace voltaro
