#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace voltaro::bench {

// What a process holds in memory now, in KiB (VmRSS in /proc), 0 when it cannot be read.
inline long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

// CPU time of a process in seconds, from /proc: in its own code (user) and in the kernel's
// (system: on loopback, the sockets of both ends).
struct CpuTime {
    double user = 0;
    double system = 0;
};

inline CpuTime cpuTime(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    CpuTime time;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) {
            time.user = std::stod(field) / tick;
        } else if (i == 15) {
            time.system = std::stod(field) / tick;
        }
    }
    return time;
}

}  // namespace voltaro::bench
