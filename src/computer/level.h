#pragma once

#include <optional>
#include <string_view>

namespace voltaro::computer {

enum class Level { Easy, Normal, Hard };

// How a level plays. Every level presses no faster than a held key repeats; they differ in how
// late they see, how well they aim and how often a finger slips.
struct LevelTraits {
    int reactionTicks;     // what it acts on is this many ticks of the 64 Hz clock old
    int pressGapTicks;     // at least this many ticks between two presses (3 is 21 a second)
    float aimError;        // twips: how far its target height may lie from the goal's middle
    float slipChance;      // a press that goes to a random key of its side instead
    float hesitateChance;  // a press it means to make and does not
};

const LevelTraits& traitsOf(Level level);

std::optional<Level> levelNamed(std::string_view name);
std::string_view levelName(Level level);

}  // namespace voltaro::computer
