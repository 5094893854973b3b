#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace voltaro::server {

struct RecordLimits {
    std::uint64_t maxFolderBytes = std::uint64_t{1} << 30;  // every finished record together
    std::size_t maxRecordBytes = std::size_t{4} << 20;      // one match; a longer one is dropped
    // What the match thread may hand over before the writer has written it: past this the
    // writer is lagging, and a record that would add to it is dropped.
    std::size_t maxQueuedBytes = std::size_t{16} << 20;
};

// Writes the match records into their folder on a thread of its own, so that a slow disk never
// makes a tick late. The match thread hands over chunks of a record's text as they fill and the
// record's end; the writer appends them to a hidden temporary file beside the record, makes it
// durable and gives it its name. A record appears whole or not at all.
//
// The folder is kept under maxFolderBytes: the records already there when the writer starts are
// counted, and the oldest go first to make room for a new one. Hidden temporary files that a
// stopped server left behind are removed at start.
class RecordWriter {
  public:
    struct Counts {
        std::uint64_t written = 0;  // whole records on disk
        std::uint64_t dropped = 0;  // lost because the writer lagged past maxQueuedBytes
        std::uint64_t cutOff = 0;   // matches longer than maxRecordBytes, not recorded
        std::uint64_t failed = 0;   // the disk refused a write, a sync or a rename
        std::uint64_t pruned = 0;   // old records removed to keep the folder's bound
    };

    // `beforeEachJob` runs on the writer's thread before each piece of work: a test holds the
    // writer there to see what a stalled disk does.
    explicit RecordWriter(std::filesystem::path folder, RecordLimits limits = {},
                          std::function<void()> beforeEachJob = {});
    // Writes everything handed over so far, then stops.
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // From the match thread; they never wait for the disk. False when the writer lags too far
    // behind: the chunk is not taken, and the record is lost (abandon() it).
    bool append(const std::string& name, std::string text);
    bool finish(const std::string& name, std::string text);
    // The record is not wanted: whatever was written of it goes.
    void abandon(const std::string& name);
    void noteCutOff() { ++cutOff_; }
    // Whether a finished record is still on its way to its place in the folder (its name is
    // given to nobody before: its link would not serve it yet).
    bool stillWriting(const std::string& name);

    const RecordLimits& limits() const { return limits_; }
    const std::filesystem::path& folder() const { return folder_; }
    Counts counts() const;
    // Blocks until everything handed over so far is on disk (tests; the server's end).
    void waitUntilIdle();

  private:
    enum class Step { Append, Finish, Abandon };
    struct Job {
        Step step;
        std::string name;
        std::string text;
    };
    struct Kept {
        std::filesystem::path path;
        std::uint64_t bytes;
    };
    struct Open {
        std::uint64_t bytes = 0;
        bool failed = false;
    };

    bool enqueue(Job job);
    void run();
    void countExisting();
    void perform(Job& job);
    bool appendToTemporary(const std::string& name, const std::string& text, Open& open);
    void complete(const std::string& name, Open& open);
    void makeRoomFor(std::uint64_t bytes);
    void removeTemporary(const std::string& name);
    std::filesystem::path temporaryPath(const std::string& name) const;

    const std::filesystem::path folder_;
    const RecordLimits limits_;
    const std::function<void()> beforeEachJob_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> queue_;
    std::size_t queuedBytes_ = 0;
    std::unordered_set<std::string> finishing_;  // finished records not yet in their place
    bool busy_ = true;                           // from the start: the folder is counted first
    bool stopping_ = false;

    // The writer thread's own.
    std::unordered_map<std::string, Open> open_;
    std::deque<Kept> kept_;  // the finished records, oldest first
    std::uint64_t keptBytes_ = 0;

    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> dropped_{0};
    std::atomic<std::uint64_t> cutOff_{0};
    std::atomic<std::uint64_t> failed_{0};
    std::atomic<std::uint64_t> pruned_{0};

    std::thread thread_;  // last: starts when everything above is ready
};

}  // namespace voltaro::server
