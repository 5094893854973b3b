#pragma once

#include <chrono>

namespace voltaro::server {

// Time since the server started, on the steady clock: the one time the core knows.
using Duration = std::chrono::nanoseconds;

}  // namespace voltaro::server
