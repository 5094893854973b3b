#include "server/match_record.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace voltaro::server {

namespace {

// A few kilobytes at a time: a match's memory stays small however long it lasts, and the file
// is opened once every few seconds of play, not on every tick.
constexpr std::size_t kFlushBytes = 4096;

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t done = ::write(fd, text.data(), text.size());
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(done));
    }
    return true;
}

}  // namespace

MatchRecord::MatchRecord(std::string folder, std::string name) : folder_(std::move(folder)) {
    if (folder_.empty()) {
        return;
    }
    path_ = folder_ + "/" + name;
    temporary_ = folder_ + "/." + name + ".part";
}

MatchRecord::MatchRecord(MatchRecord&& other) noexcept
    : folder_(std::move(other.folder_)),
      path_(std::move(other.path_)),
      temporary_(std::move(other.temporary_)),
      pending_(std::move(other.pending_)),
      failed_(other.failed_),
      written_(std::exchange(other.written_, false)) {
    other.folder_.clear();
}

MatchRecord::~MatchRecord() {
    abandon();
}

void MatchRecord::line(std::string_view text) {
    if (!active()) {
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
    const int fd =
        ::open(temporary_.c_str(),
               O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (written_ ? 0 : O_TRUNC), 0644);
    if (fd < 0) {
        failed_ = true;
        abandon();
        return;
    }
    written_ = true;
    const bool wrote = writeAll(fd, pending_);
    if (::close(fd) != 0 || !wrote) {
        failed_ = true;
        abandon();
        return;
    }
    pending_.clear();
}

bool MatchRecord::finish() {
    if (!active()) {
        return false;
    }
    flush();
    if (!active()) {
        return false;
    }
    const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CLOEXEC);
    const bool durable = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!durable || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        failed_ = true;
        abandon();
        return false;
    }
    written_ = false;
    folder_.clear();  // done: nothing more is recorded
    return true;
}

void MatchRecord::abandon() {
    if (written_) {
        ::unlink(temporary_.c_str());
        written_ = false;
    }
    pending_.clear();
    pending_.shrink_to_fit();
}

}  // namespace voltaro::server
