#pragma once

#include <initializer_list>
#include <string>

namespace voltaro::bench {

// One "--name value" of a bench's command line: text, or a whole number kept within bounds.
struct BenchOption {
    const char* name;
    std::string* text = nullptr;
    int* number = nullptr;
    int low = 0;
    int high = 0;
};

// Reads the pairs of argv into the options named; false on a name not among them, a name
// without its value, or a number that is none.
bool readBenchOptions(int argc, char* argv[], std::initializer_list<BenchOption> options);

}  // namespace voltaro::bench
