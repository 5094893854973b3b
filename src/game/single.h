#pragma once

namespace voltaro {

// The runtime's 32-bit float. Control positions and sizes are Singles, and so is every
// intermediate sum the procedures form from them.
using Single = float;

// Single arithmetic as the runtime does it: each result is rounded to 32 bits, and a result that
// overflows (or is not a number) is a run-time error raised before the value can be used.
Single add(Single a, Single b);
Single subtract(Single a, Single b);

}  // namespace voltaro
