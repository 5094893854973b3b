#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "online/tick_match.h"

namespace voltaro::server {

class RecordWriter;

// One match as a script of the replay tool: every tick and key press that reached the form, in
// order, under "# tick N" lines that say when. Replaying it gives the match's final state.
//
// Lines are gathered in memory and handed to the writer a few kilobytes at a time; the file
// appears whole or not at all. A match that never ends (abandoned, or the server stopped), one
// that grows past the writer's bound for a record, and one the writer had no room for while it
// lagged behind leave nothing behind: a cut script would replay to another end.
class MatchRecord final : public online::MatchLog {
  public:
    // Without a writer nothing is recorded. `name` is the file's name in the writer's folder.
    MatchRecord(RecordWriter* writer, std::string name);
    ~MatchRecord() override;
    MatchRecord(MatchRecord&& other) noexcept;
    MatchRecord(const MatchRecord&) = delete;
    MatchRecord& operator=(const MatchRecord&) = delete;

    bool active() const { return writer_ != nullptr; }
    void line(std::string_view text) override;
    void tick(std::uint32_t number) override;
    // A "# " line for the reader; a line break in `text` cannot make a command of its rest.
    void comment(std::string_view text) override;

    // Hands over what is left; the writer makes it durable and gives the file its name. Nothing
    // is written when the record was lost already.
    void finish() override;
    const std::string& name() const { return name_; }
    // The whole record went to the writer, which names the file once it is on disk (a disk that
    // refuses it, or a folder too small for it even alone, may still lose it there).
    bool handedOverWhole() const { return whole_; }

  private:
    void flush();
    void abandon();

    RecordWriter* writer_;
    std::string name_;
    std::string pending_;
    std::size_t total_ = 0;    // every byte of the record so far
    bool handedOver_ = false;  // the writer has some of it
    bool whole_ = false;
};

}  // namespace voltaro::server
