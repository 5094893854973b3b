#pragma once

#include <cstdint>

namespace voltaro::bench {

// How many times the heap has been asked for memory in this process so far.
std::uint64_t allocationCount();

}  // namespace voltaro::bench
