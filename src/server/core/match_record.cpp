#include "server/core/match_record.h"

#include <fmt/format.h>

#include <utility>

#include "server/core/record_writer.h"

namespace voltaro::server {

namespace {

// A few kilobytes at a time: a match's memory stays small however long it lasts, and the writer
// opens the file once every few seconds of play, not on every tick.
constexpr std::size_t kFlushBytes = 4096;

}  // namespace

MatchRecord::MatchRecord(RecordWriter* writer, std::string name)
    : writer_(writer), name_(std::move(name)) {}

MatchRecord::MatchRecord(MatchRecord&& other) noexcept
    : writer_(std::exchange(other.writer_, nullptr)),
      name_(std::move(other.name_)),
      pending_(std::move(other.pending_)),
      total_(other.total_),
      handedOver_(std::exchange(other.handedOver_, false)),
      whole_(std::exchange(other.whole_, false)) {}

MatchRecord::~MatchRecord() {
    abandon();
}

void MatchRecord::line(std::string_view text) {
    if (!active()) {
        return;
    }
    total_ += text.size() + 1;
    if (total_ > writer_->limits().maxRecordBytes) {
        writer_->noteCutOff();
        abandon();
        return;
    }
    pending_.append(text);
    pending_ += '\n';
    if (pending_.size() >= kFlushBytes) {
        flush();
    }
}

void MatchRecord::tick(std::uint32_t number) {
    if (active()) {
        line(fmt::format("# tick {}", number));
    }
}

void MatchRecord::comment(std::string_view text) {
    if (!active()) {
        return;
    }
    std::string line = "# ";
    for (const char c : text) {
        line += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    this->line(line);
}

void MatchRecord::flush() {
    if (!active() || pending_.empty()) {
        return;
    }
    if (!writer_->append(name_, std::exchange(pending_, {}))) {
        abandon();
        return;
    }
    handedOver_ = true;
    pending_.reserve(kFlushBytes + 64);
}

void MatchRecord::finish() {
    if (!active()) {
        return;
    }
    if (!writer_->finish(name_, std::exchange(pending_, {}))) {
        abandon();
        return;
    }
    handedOver_ = false;
    whole_ = true;
    writer_ = nullptr;  // done: nothing more is recorded
}

// Nothing more is recorded; what the writer has of it is removed.
void MatchRecord::abandon() {
    if (writer_ && handedOver_) {
        writer_->abandon(name_);
    }
    handedOver_ = false;
    writer_ = nullptr;
    pending_.clear();
    pending_.shrink_to_fit();
}

}  // namespace voltaro::server
