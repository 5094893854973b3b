#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/script_line.h"

namespace voltaro::client {

// A match's record as the replay viewer plays it: every command of the replay script with the
// tick of the "# tick N" line above it.
class ReplayRecord {
  public:
    struct Event {
        std::uint32_t tick;
        replay::Command command;
        std::uint64_t line;  // its number in the file, for a message
    };

    // Larger than any record a server keeps of a match of the game (ten minutes of play take
    // about a megabyte): a bigger file is refused before it is read.
    static constexpr std::size_t kMaxBytes = 64u << 20;

    // Nothing, with `problem` set to a sentence for the player, when `text` is not a match's
    // record: a line the replay tool refuses, an event before the first "# tick" line, a tick
    // that goes back, or no "# tick" line at all.
    static std::optional<ReplayRecord> read(std::string_view text, std::string& problem);

    const std::vector<Event>& events() const { return events_; }
    // The record's last "# tick" line: where the replay ends.
    std::uint32_t lastTick() const { return lastTick_; }

  private:
    std::vector<Event> events_;
    std::uint32_t lastTick_ = 0;
};

}  // namespace voltaro::client
