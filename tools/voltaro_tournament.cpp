// voltaro-tournament: the computer's levels against each other and against a random presser,
// in matches played headless on the game's own clock (simulated time), as a table.
//
//   voltaro-tournament [--matches N] [--seed S] [--minutes M]
//
// N matches per pairing (1000), seeds from S (1), each match ending at its goal or after M
// simulated minutes (10).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tournament.h"

namespace {

struct Options {
    int matches = 1000;
    std::uint64_t seed = 1;
    int minutes = 10;
};

bool readNumber(const char* text, std::uint64_t& out) {
    char* end = nullptr;
    out = std::strtoull(text, &end, 10);
    return *text >= '0' && *text <= '9' && end && *end == '\0';
}

bool readOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        std::uint64_t value = 0;
        if (i + 1 >= argc || !readNumber(argv[i + 1], value)) {
            return false;
        }
        ++i;
        if (name == "--matches" && value > 0 && value <= 1000000) {
            options.matches = static_cast<int>(value);
        } else if (name == "--seed") {
            options.seed = value;
        } else if (name == "--minutes" && value > 0 && value <= 600) {
            options.minutes = static_cast<int>(value);
        } else {
            return false;
        }
    }
    return true;
}

void printRow(const char* label, const voltaro::PairingResult& r) {
    using voltaro::share;
    std::printf("| %s | %d | %.1f %% | %.1f %% | %.1f %% | %.1f s |\n", label, r.matches,
                share(r.aWins, r.matches), share(r.bWins, r.matches),
                share(r.unfinished, r.matches), r.medianSeconds);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!readOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: voltaro-tournament [--matches N] [--seed S] [--minutes M]\n");
        return 2;
    }
    const auto limit = std::chrono::minutes(options.minutes);
    const voltaro::Contender levels[] = {voltaro::computerContender(0),
                                         voltaro::computerContender(1),
                                         voltaro::computerContender(2)};
    const voltaro::Contender presser = voltaro::randomPresserContender();

    std::printf("| A against B | matches | A wins | B wins | unfinished | median length |\n");
    std::printf("|---|---|---|---|---|---|\n");
    std::chrono::nanoseconds playersTime{0};
    std::int64_t computerTicks = 0;
    auto play = [&](const voltaro::Contender& a, const voltaro::Contender& b, int computers) {
        const auto result = voltaro::playPairing(a, b, options.matches, options.seed, limit);
        const std::string label = a.name == b.name ? a.name + " (red) against " + b.name + " (blue)"
                                                   : a.name + " against " + b.name;
        printRow(label.c_str(), result);
        playersTime += result.playersTime;
        computerTicks += result.ticks * computers;
    };
    for (const auto& level : levels) {
        play(level, presser, 1);
    }
    play(levels[2], levels[0], 2);
    play(levels[1], levels[0], 2);
    play(levels[2], levels[1], 2);
    for (const auto& level : levels) {
        play(level, level, 2);
    }
    std::printf("\nThe computer's cost: %.2f µs per tick of the ball, per computer player.\n",
                computerTicks > 0 ? std::chrono::duration<double, std::micro>(playersTime).count() /
                                        static_cast<double>(computerTicks)
                                  : 0.0);
    return 0;
}
