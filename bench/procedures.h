#pragma once

#include <map>
#include <string>

namespace voltaro::bench {

struct ProcedureCosts {
    std::map<std::string, double> nanosecondsPerCall;  // by benchmark name
    std::map<std::string, double> allocationsPerCall;  // the three procedures
};

// Runs the Google Benchmark cases: the procedures and the whole-scene paint.
ProcedureCosts measureProcedures(int argc, char** argv);

}  // namespace voltaro::bench
