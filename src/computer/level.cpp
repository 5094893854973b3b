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
        {28, 6, 1000.0f, 0.20f, 0.25f},  // easy: 440 ms, 10 presses a second at most
        {18, 4, 600.0f, 0.10f, 0.12f},   // normal: 280 ms, 16 a second
        {10, 3, 200.0f, 0.03f, 0.04f},   // hard: 160 ms, 21 a second
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
