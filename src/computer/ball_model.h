#pragma once

#include "computer/sighting.h"

namespace voltaro::computer {

// The ball as a player who knows the game follows it: where it is and which way it goes, +1
// right or down, -1 left or up.
struct BallState {
    float left = 0;
    float top = 0;
    int dx = 1;
    int dy = 1;
};

// Where everyone stood at the last key press, which is what the ball rebounds from until the
// next one. A player knows it from its own presses and from the other player's steps it saw.
struct PressMemory {
    bool pressed = false;  // before the first press the ball rebounds from nothing but zeros
    Point ball, red, blue;
};

PressMemory rememberPress(const Sighting& seen);

// One tick of the ball by the game's rules: a step, then `settle`: the walls, then the two
// players as they stood at the remembered press.
void ballTick(BallState& ball, const PressMemory& press);
void settle(BallState& ball, const PressMemory& press);

// One tick of the ball with nobody touching it.
void stepBetweenWalls(BallState& ball);
bool insideWalls(const BallState& ball);

// The ball's flight with nobody touching it: after `ticks` ticks, turning only at the walls.
BallState freeFlight(BallState ball, int ticks);

// Which goal a ball in free flight reaches first within `horizon` ticks: the side that scores,
// and after how many ticks; `scored` false when it reaches neither.
struct GoalReach {
    bool scored = false;
    Side scorer = Side::Red;
    int ticks = 0;
    float top = 0;  // the ball's Top when it gets there
};
GoalReach goalReached(const BallState& ball, int horizon);

bool inGoalOf(Side scorer, float left, float top);

}  // namespace voltaro::computer
