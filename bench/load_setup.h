#pragma once

#include <sched.h>
#include <sys/resource.h>

namespace voltaro::bench {

// Sets up a load generator and the server it starts, which inherits both settings. On a machine
// shared with other work (builds, other benches), the scheduler would decide the tick figures:
// real-time priority, where allowed (root), gives the server its core and the load the other;
// the kernel still keeps 5 % of each for everything else. Two sockets a match on each side want
// the open-files limit at its maximum. Returns whether real-time priority was granted.
inline bool prepareForLoad() {
    sched_param priority{};
    priority.sched_priority = 10;
    const bool realtime = sched_setscheduler(0, SCHED_FIFO, &priority) == 0;
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    return realtime;
}

}  // namespace voltaro::bench
