#include "server/core/record_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

namespace voltaro::server {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRecordExtension = ".replay";
constexpr std::string_view kTemporaryExtension = ".part";

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

// The rename is durable only once the folder's own entry list is on disk.
void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool isTemporary(const std::string& name) {
    return name.starts_with('.') && name.ends_with(kTemporaryExtension);
}

bool isRecord(const std::string& name) {
    return !name.starts_with('.') && name.ends_with(kRecordExtension);
}

}  // namespace

RecordWriter::RecordWriter(fs::path folder, RecordLimits limits,
                           std::function<void()> beforeEachJob)
    : folder_(std::move(folder)),
      limits_(limits),
      beforeEachJob_(std::move(beforeEachJob)),
      thread_([this] { run(); }) {}

RecordWriter::~RecordWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

bool RecordWriter::append(const std::string& name, std::string text) {
    return enqueue({Step::Append, name, std::move(text)});
}

bool RecordWriter::finish(const std::string& name, std::string text) {
    return enqueue({Step::Finish, name, std::move(text)});
}

void RecordWriter::abandon(const std::string& name) {
    // Carries no text, and each record has at most one: always taken, however far behind.
    enqueue({Step::Abandon, name, {}});
}

bool RecordWriter::enqueue(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (job.step != Step::Abandon && queuedBytes_ + job.text.size() > limits_.maxQueuedBytes) {
            ++dropped_;
            return false;
        }
        queuedBytes_ += job.text.size();
        if (job.step == Step::Finish) {
            finishing_.insert(job.name);
        }
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
}

bool RecordWriter::stillWriting(const std::string& name) {
    std::lock_guard lock(mutex_);
    return finishing_.contains(name);
}

RecordWriter::Counts RecordWriter::counts() const {
    return {written_.load(), dropped_.load(), cutOff_.load(), failed_.load(), pruned_.load()};
}

void RecordWriter::waitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void RecordWriter::run() {
    countExisting();
    std::unique_lock lock(mutex_);
    for (;;) {
        if (queue_.empty()) {
            busy_ = false;
            idle_.notify_all();
            if (stopping_) {
                return;
            }
            wake_.wait(lock, [this] { return !queue_.empty() || stopping_; });
            continue;
        }
        busy_ = true;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        if (beforeEachJob_) {
            beforeEachJob_();
        }
        const std::size_t bytes = job.text.size();
        perform(job);
        lock.lock();
        queuedBytes_ -= bytes;
        if (job.step == Step::Finish) {
            finishing_.erase(job.name);
        }
    }
}

// What the folder holds already counts against its bound; what an earlier run left half-written
// is of no use to anyone.
void RecordWriter::countExisting() {
    struct Found {
        fs::file_time_type time;
        fs::path path;
        std::uint64_t bytes;
    };
    std::vector<Found> found;
    std::error_code error;
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code ignored;
        if (!it->is_regular_file(ignored)) {
            continue;
        }
        if (isTemporary(name)) {
            fs::remove(it->path(), ignored);
        } else if (isRecord(name)) {
            const auto bytes = it->file_size(ignored);
            const auto time = it->last_write_time(ignored);
            found.push_back({time, it->path(), bytes});
        }
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(a.time, a.path) < std::tie(b.time, b.path);
    });
    for (Found& record : found) {
        keptBytes_ += record.bytes;
        kept_.push_back({std::move(record.path), record.bytes});
    }
    makeRoomFor(0);
}

void RecordWriter::perform(Job& job) {
    if (job.step == Step::Abandon) {
        if (open_.erase(job.name) > 0) {
            removeTemporary(job.name);
        }
        return;
    }
    Open& open = open_[job.name];
    if (!open.failed && !job.text.empty() && !appendToTemporary(job.name, job.text, open)) {
        open.failed = true;
        ++failed_;
        removeTemporary(job.name);
    }
    if (job.step == Step::Finish) {
        if (!open.failed) {
            complete(job.name, open);
        }
        open_.erase(job.name);
    }
}

// Opened for each chunk and closed again: an open match holds no descriptor of its own.
bool RecordWriter::appendToTemporary(const std::string& name, const std::string& text, Open& open) {
    const int fd =
        ::open(temporaryPath(name).c_str(),
               O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (open.bytes == 0 ? O_TRUNC : 0), 0644);
    if (fd < 0) {
        return false;
    }
    const bool wrote = writeAll(fd, text);
    if (::close(fd) != 0 || !wrote) {
        return false;
    }
    open.bytes += text.size();
    return true;
}

void RecordWriter::complete(const std::string& name, Open& open) {
    const fs::path temporary = temporaryPath(name);
    if (open.bytes > limits_.maxFolderBytes) {
        ++pruned_;  // it would not fit even alone
        removeTemporary(name);
        return;
    }
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CLOEXEC);
    const bool durable = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    makeRoomFor(open.bytes);
    const fs::path path = folder_ / name;
    if (!durable || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ++failed_;
        removeTemporary(name);
        return;
    }
    syncFolder(folder_);
    kept_.push_back({path, open.bytes});
    keptBytes_ += open.bytes;
    ++written_;
}

// Removes the oldest records until `bytes` more fit in the folder's bound.
void RecordWriter::makeRoomFor(std::uint64_t bytes) {
    while (!kept_.empty() && keptBytes_ + bytes > limits_.maxFolderBytes) {
        std::error_code ignored;
        fs::remove(kept_.front().path, ignored);
        keptBytes_ -= kept_.front().bytes;
        kept_.pop_front();
        ++pruned_;
    }
}

void RecordWriter::removeTemporary(const std::string& name) {
    ::unlink(temporaryPath(name).c_str());
}

fs::path RecordWriter::temporaryPath(const std::string& name) const {
    return folder_ / ("." + name + std::string(kTemporaryExtension));
}

}  // namespace voltaro::server
