#pragma once

#include <QProcessEnvironment>

namespace voltaro::bench {

// What one program pays per tick while the ball moves, measured in a child process of its own
// on an X display: the game in play, or the floor it is held to, a minimal Qt widget that moves
// a box of the ball's size 64 times a second with two update() calls.
struct PlayCost {
    double instructionsPerTick = 0;  // the whole process, counted by callgrind
    double cpuPercentOfOneCore = 0;  // user and system time over wall time, natively
    int ticks = 0;
};

enum class Player { Game, MinimalWidget };

// Runs the child under callgrind and counts every instruction of the process over `ticks` ball
// ticks after a warm-up; NaN when valgrind is missing or the run fails.
double instructionsPerTick(Player player, const QProcessEnvironment& display, int ticks);

// Runs the child natively and measures its CPU time over `ticks` ticks after a warm-up.
PlayCost cpuTime(Player player, const QProcessEnvironment& display, int ticks);

// The child's side: `args` are "game|widget WARMUP TICKS". Prints "TICKS CPU_SECONDS
// WALL_SECONDS" once TICKS ticks have passed after WARMUP, and exits.
int runPlayChild(int argc, char** argv);

}  // namespace voltaro::bench
