#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "online/tick_match.h"

namespace voltaro::online {

// A snapshot as one line of text, the same on every platform: a late comer is sent it, and its
// digest is what the server's final ticks carry. Floats go as their bits, so that nothing is
// rounded on the way.
std::string encode(const TickMatch::Snapshot& snapshot);
// Nothing when `text` is not a snapshot of this version (it comes from the server, but a
// client is never to crash on what it reads).
std::optional<TickMatch::Snapshot> decodeSnapshot(std::string_view text);

// FNV-1a, 64 bits, of the encoded snapshot.
std::uint64_t digestOf(std::string_view encoded);

}  // namespace voltaro::online
