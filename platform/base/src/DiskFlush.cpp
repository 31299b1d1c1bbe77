#include "DiskFlush.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace base {

DiskFlush::~DiskFlush() { stop(); }

void DiskFlush::grew(std::uint64_t size) {
    if (size < handedOver_ + handOverEvery) return;
    // Only a request to start writing; a failure shows in the flush.
    ::sync_file_range(fd_, static_cast<off_t>(handedOver_), static_cast<off_t>(size - handedOver_),
                      SYNC_FILE_RANGE_WRITE);
    handedOver_ = size;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        flushWanted_ = true;
    }
    if (thread_.joinable()) {
        wake_.notify_one();
        return;
    }
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // No thread to spare: the final flush does all the work.
    }
}

void DiskFlush::restart() {
    stop();
    std::lock_guard lock(mutex_);
    handedOver_ = 0;
    flushWanted_ = false;
    stopping_ = false;
}

bool DiskFlush::finish() {
    stop();
    std::lock_guard lock(mutex_);
    stopping_ = true;  // no thread again
    if (error_ == 0) return true;
    errno = error_;
    return false;
}

void DiskFlush::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void DiskFlush::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return flushWanted_ || stopping_; });
        // What is left when stopping is the final flush's.
        if (stopping_) return;
        flushWanted_ = false;
        lock.unlock();
        int error = ::fdatasync(fd_) == 0 ? 0 : errno;
        lock.lock();
        if (error != 0 && error_ == 0) error_ = error;
    }
}

}  // namespace base
