#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "computer/key_presser.h"

namespace voltaro {

// A player of a tournament: its name and how to seat it on a side with a seed.
struct Contender {
    std::string name;
    std::function<std::unique_ptr<computer::KeyPresser>(computer::Side, std::uint64_t)> seat;
};

Contender computerContender(int level);  // a computer::Level, by number
Contender randomPresserContender();

// The matches of one pairing. Unless both are the same contender, each plays red in half of
// them and blue in the other half, so that neither side's advantage counts for either; a
// contender against itself plays red as `a` and blue as `b`.
struct PairingResult {
    int matches = 0;
    int aWins = 0;
    int bWins = 0;
    int unfinished = 0;
    double medianSeconds = 0;  // of the finished matches
    std::int64_t ticks = 0;
    std::chrono::nanoseconds playersTime{0};
};

PairingResult playPairing(const Contender& a, const Contender& b, int matches, std::uint64_t seed,
                          std::chrono::nanoseconds limit);

double share(int count, int matches);  // in per cent

}  // namespace voltaro
