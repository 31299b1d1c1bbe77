#pragma once
// Brings a file that is being written to disk while it is written: every
// few megabytes the disk is asked to start writing what has come so far,
// and a thread of its own flushes it, one flush after another. The flush
// that makes the file durable then waits for little more than the last
// piece, instead of for the whole file sitting in caches (a disk's, or a
// virtual disk's host's).

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace base {

class DiskFlush {
public:
    explicit DiskFlush(int fd) : fd_(fd) {}
    // Waits for a flush under way; the descriptor may be closed after.
    ~DiskFlush();
    DiskFlush(const DiskFlush&) = delete;
    DiskFlush& operator=(const DiskFlush&) = delete;

    // The file now holds `size` bytes.
    void grew(std::uint64_t size);
    // The file was emptied: what was flushed no longer counts.
    void restart();
    // Stops flushing. False, with errno set, when a flush failed: the
    // file's bytes may not be on disk, and a later flush of the same file
    // need not say so again.
    bool finish();

    // Bytes handed to the disk at a time.
    static constexpr std::uint64_t handOverEvery = std::uint64_t{4} << 20;

private:
    void run();
    void stop();

    const int fd_;
    std::uint64_t handedOver_ = 0;  // bytes before this offset were handed over
    std::mutex mutex_;
    std::condition_variable wake_;
    bool flushWanted_ = false;  // something was handed over since the last flush began
    bool stopping_ = false;
    int error_ = 0;       // errno of the first flush that failed
    std::thread thread_;  // started with the first hand-over
};

}  // namespace base
