#include "bench_options.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace voltaro::bench {

namespace {

bool readNumber(const std::string& value, const BenchOption& option) {
    int number = 0;
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, number);
    if (error != std::errc() || stop != end) {
        return false;
    }
    *option.number = std::clamp(number, option.low, option.high);
    return true;
}

}  // namespace

bool readBenchOptions(int argc, char* argv[], std::initializer_list<BenchOption> options) {
    if (argc % 2 != 1) {
        return false;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const auto option = std::find_if(options.begin(), options.end(), [&](const BenchOption& o) {
            return std::strcmp(o.name, argv[i]) == 0;
        });
        if (option == options.end()) {
            return false;
        }
        const std::string value = argv[i + 1];
        if (option->text) {
            *option->text = value;
        } else if (!readNumber(value, *option)) {
            return false;
        }
    }
    return true;
}

}  // namespace voltaro::bench
