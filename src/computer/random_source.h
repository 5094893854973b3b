#pragma once

#include <cstdint>

namespace voltaro::computer {

// A small random source of our own (splitmix64): the standard library's distributions differ
// between library builds, and a seeded match must play the same on the desktop, in the page and
// in the tournament.
class RandomSource {
  public:
    explicit RandomSource(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // In [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // In [low, high].
    int between(int low, int high) {
        return low + static_cast<int>(next() % static_cast<std::uint64_t>(high - low + 1));
    }
    bool chance(double p) { return uniform() < p; }

  private:
    std::uint64_t state_;
};

}  // namespace voltaro::computer
