#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace voltaro::server {

// The most a WebSocket close frame holds of its reason, in bytes.
inline constexpr std::size_t kMaxCloseReason = 123;

// `reason` cut to what a close frame holds, at a character's boundary: a browser refuses a
// close whose reason is not whole UTF-8.
std::string closeReason(std::string_view reason);

}  // namespace voltaro::server
