#include "computer/level.h"

#include <array>

namespace voltaro::computer {

namespace {

constexpr std::array<std::string_view, 3> kNames = {"easy", "normal", "hard"};

}  // namespace

const LevelTraits& traitsOf(Level level) {
    // A person reacts in about a fifth of a second; the easy player is a beginner, the hard one
    // a quick player who rarely slips.
    static constexpr std::array<LevelTraits, 3> kTraits = {{
        {24, 5, 900.0f, 0.15f, 0.20f},  // easy: 375 ms, 13 presses a second at most
        {14, 4, 450.0f, 0.06f, 0.08f},  // normal: 220 ms, 16 a second
        {8, 3, 150.0f, 0.01f, 0.0f},    // hard: 125 ms, 21 a second
    }};
    return kTraits[static_cast<int>(level)];
}

std::optional<Level> levelNamed(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) {
            return static_cast<Level>(i);
        }
    }
    return std::nullopt;
}

std::string_view levelName(Level level) {
    return kNames[static_cast<int>(level)];
}

}  // namespace voltaro::computer
