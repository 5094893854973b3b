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
    // Small, for a record may hold millions: a property written keeps its command beside.
    struct Event {
        std::uint32_t tick;
        replay::Command::Verb verb;
        std::int16_t key;   // Key
        std::uint32_t set;  // SetShape, SetCaption: its place among sets()
    };
    struct Set {
        replay::Command command;
        std::uint64_t line;  // its number in the file, for a message
    };

    // Four times the most a match server keeps of one match by default (ten minutes of play
    // take under a megabyte): a bigger file is refused before it is read, so that what a record
    // costs in memory stays within what a browser's tab affords.
    static constexpr std::size_t kMaxBytes = 16u << 20;

    // Nothing, with `problem` set to a sentence for the player, when `text` is not a match's
    // record: a line the replay tool refuses, an event before the first "# tick" line, a tick
    // that goes back, or no "# tick" line at all.
    static std::optional<ReplayRecord> read(std::string_view text, std::string& problem);

    const std::vector<Event>& events() const { return events_; }
    const std::vector<Set>& sets() const { return sets_; }
    // The command of `event` as the replay tool runs it.
    replay::Command command(const Event& event) const;
    // The record's last "# tick" line: where the replay ends.
    std::uint32_t lastTick() const { return lastTick_; }

  private:
    void add(std::uint32_t tick, const replay::Command& command, std::uint64_t line);

    std::vector<Event> events_;
    std::vector<Set> sets_;
    std::uint32_t lastTick_ = 0;
};

}  // namespace voltaro::client
