#pragma once

#include <QProcessEnvironment>
#include <utility>

namespace voltaro::bench {

struct StartupFigures {
    double firstFrameMs = 0;  // from starting the process to its first painted frame
    double peakResidentMiB = 0;
};

// Starts this program again in a child mode, in `env`, and measures it: the game, and as the
// floor an empty Qt window of the same size that paints one text in each of the game's faces,
// in turns. The medians of `runs` starts of each: {game, floor}.
std::pair<StartupFigures, StartupFigures> compareStartup(int runs, const QProcessEnvironment& env);

// The child's side: shows the window, reports when its first frame is painted, plays a second
// and reports its peak memory. Returns the process's exit status.
int runStartupChild(bool game);

}  // namespace voltaro::bench
