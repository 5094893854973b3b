#pragma once

namespace voltaro::bench {

struct StartupFigures {
    double firstFrameMs = 0;  // from starting the process to its first painted frame
    double peakResidentMiB = 0;
};

// Starts this program again in a child mode and measures it: the game, or an empty Qt window
// of the same size as the floor. The median of `runs` starts.
StartupFigures measureStartup(bool game, int runs);

// The child's side: shows the window, reports when its first frame is painted, plays a second
// and reports its peak memory. Returns the process's exit status.
int runStartupChild(bool game);

}  // namespace voltaro::bench
