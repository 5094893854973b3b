#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace voltaro::server {

// One match as a script of the replay tool: every tick and key press that reached the form, in
// order, under "# tick N" lines that say when. Replaying it gives the match's final state.
//
// The file appears whole or not at all: lines are gathered in memory and appended now and then
// to a hidden temporary file beside it, which is renamed to its name when the match is over. A
// match that never ends (abandoned, or the server stopped) leaves nothing behind.
class MatchRecord {
  public:
    // An empty folder records nothing.
    MatchRecord(std::string folder, std::string name);
    ~MatchRecord();
    MatchRecord(MatchRecord&& other) noexcept;
    MatchRecord(const MatchRecord&) = delete;
    MatchRecord& operator=(const MatchRecord&) = delete;

    bool active() const { return !folder_.empty() && !failed_; }
    void line(std::string_view text);
    void tick(std::uint32_t number);
    // A "# " line for the reader; a line break in `text` cannot make a command of its rest.
    void comment(std::string_view text);

    // Writes what is left, makes it durable and gives the file its name. False when the record
    // could not be written; nothing is left behind then.
    bool finish();
    const std::string& path() const { return path_; }

  private:
    void flush();
    void abandon();

    std::string folder_;
    std::string path_;
    std::string temporary_;
    std::string pending_;
    bool failed_ = false;
    bool written_ = false;  // the temporary file exists
};

}  // namespace voltaro::server
