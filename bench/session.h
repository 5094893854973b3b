#pragma once

#include <map>
#include <string>

namespace voltaro::bench {

struct TimerFigures {
    int ticks = 0;
    double meanPeriodMs = 0;
    double medianLatenessMs = 0;
    double p99LatenessMs = 0;
    double maxLatenessMs = 0;
};

struct SessionFigures {
    double seconds = 0;
    std::map<std::string, TimerFigures> timers;  // by timer name
    double cpuPercentOfOneCore = 0;
    int paints = 0;
    double repaintedPixelsPerBallTick = 0;
    double windowPixels = 0;
    bool endedByGoal = false;
};

// Plays on the real Qt host with its real timers for `seconds`, a key pressed every 100 ms to
// keep the ball in play, and measures what the player's machine pays for it.
SessionFigures playSession(double seconds);

}  // namespace voltaro::bench
