#pragma once

#include <cmath>

namespace voltaro {

// The runtime's 32-bit float. Control positions and sizes are Singles, and so is every
// intermediate sum the procedures form from them.
using Single = float;

// Raises the Overflow that a sum with no finite result is.
[[noreturn]] void singleOverflow();

// Single arithmetic as the runtime does it: each result is rounded to 32 bits, and a result that
// overflows (or is not a number) is a run-time error raised before the value can be used.
inline Single add(Single a, Single b) {
    const Single sum = a + b;
    if (!std::isfinite(sum)) [[unlikely]] {
        singleOverflow();
    }
    return sum;
}

inline Single subtract(Single a, Single b) {
    const Single difference = a - b;
    if (!std::isfinite(difference)) [[unlikely]] {
        singleOverflow();
    }
    return difference;
}

}  // namespace voltaro
