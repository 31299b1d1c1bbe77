#include "WriteBehind.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "Corral/base/FileSystem.h"
#include "Corral/base/LargeMemory.h"
#include "DiskFlush.h"

namespace base {

// The blocks after the first fit in their memory, which is large enough to
// be asked for in large pages.
static_assert(WriteBehind::othersSize >= (WriteBehind::blockCount - 1) * WriteBehind::blockSize &&
              WriteBehind::othersSize >= largeMemoryThreshold);

WriteBehind::Memory::~Memory() {
    if (others) freeLargeMemory(others, othersSize);
}

WriteBehind::~WriteBehind() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool WriteBehind::failure() const {
    // Read under the lock by the callers that may race with the thread.
    if (error_ == 0) return false;
    errno = error_;
    return true;
}

bool WriteBehind::write(std::span<const std::uint8_t> bytes) {
    {
        std::lock_guard lock(mutex_);
        if (failure()) return false;
    }
    if (blocks_.empty()) {
        memory_.first = std::make_unique_for_overwrite<std::uint8_t[]>(blockSize);
        blocks_.resize(blockCount);
        blocks_[0].bytes = memory_.first.get();
    }
    while (!bytes.empty()) {
        Block& block = blocks_[filling_];
        if (!block.bytes) {
            if (!memory_.others)
                memory_.others = static_cast<std::uint8_t*>(allocateLargeMemory(othersSize));
            block.bytes = memory_.others + (filling_ - 1) * blockSize;
        }
        std::size_t taken = std::min(bytes.size(), blockSize - block.size);
        std::memcpy(block.bytes + block.size, bytes.data(), taken);
        block.size += taken;
        bytes = bytes.subspan(taken);
        if (block.size == blockSize) handOver();
    }
    return true;
}

void WriteBehind::handOver() {
    std::unique_lock lock(mutex_);
    ++queued_;
    if (thread_.joinable()) {
        changed_.notify_all();
    } else {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread to spare: the block is written here and now.
            --queued_;
            lock.unlock();
            writeOut(blocks_[filling_]);
            return;
        }
    }
    changed_.wait(lock, [this] { return queued_ < blockCount; });
    filling_ = (filling_ + 1) % blockCount;
}

void WriteBehind::drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queued_ == 0; });
}

void WriteBehind::run() {
    // The oldest block queued: the thread's own.
    std::size_t oldest = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return queued_ > 0 || stopping_; });
        if (stopping_) return;
        bool failed = error_ != 0;
        lock.unlock();
        // After a failure the bytes no longer matter, only that they are taken.
        if (failed)
            blocks_[oldest].size = 0;
        else
            writeOut(blocks_[oldest]);
        oldest = (oldest + 1) % blockCount;
        lock.lock();
        --queued_;
        changed_.notify_all();
    }
}

void WriteBehind::writeOut(Block& block) {
    std::size_t size = std::exchange(block.size, 0);
    if (!writeAll(fd_, {block.bytes, size})) {
        int error = errno;
        std::lock_guard lock(mutex_);
        if (error_ == 0) error_ = error;
        return;
    }
    written_ += size;
    flush_.grew(written_);
}

bool WriteBehind::settle() {
    drain();
    {
        std::lock_guard lock(mutex_);
        if (failure()) return false;
    }
    // What was never handed over is written here, after every block that was.
    if (!blocks_.empty() && blocks_[filling_].size > 0) writeOut(blocks_[filling_]);
    std::lock_guard lock(mutex_);
    return !failure();
}

bool WriteBehind::restart() {
    drain();
    if (!blocks_.empty()) blocks_[filling_].size = 0;
    written_ = 0;
    std::lock_guard lock(mutex_);
    return !failure();
}

}  // namespace base
