#pragma once
// Writes a file's bytes on a thread of its own, so that whoever produces
// them goes on producing while the system copies them into the file. Bytes
// gather in blocks; a full block goes to the thread, and the producer waits
// only when every block is full and not yet written. A file smaller than one
// block never starts the thread: its bytes are written when it is settled.
//
// Every call but the thread's own comes from one producing thread.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace base {

class DiskFlush;

class WriteBehind {
public:
    // Appends to `fd` at its offset, and tells `flush` how far the file has
    // grown; both must outlive this.
    WriteBehind(int fd, DiskFlush& flush) : fd_(fd), flush_(flush) {}
    // Stops the thread; what was not written is dropped.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Takes all of `bytes`. False, with errno set, once a write has failed:
    // that write may have been of bytes given in an earlier call.
    bool write(std::span<const std::uint8_t> bytes);
    // Waits until every byte taken is in the file. False, with errno set,
    // when a write failed.
    bool settle();
    // Drops what was not written, for a file that is emptied. False, with
    // errno set, when a write had failed: the failure stays.
    bool restart();

    // Bytes in a block, and blocks at most.
    static constexpr std::size_t blockSize = std::size_t{512} << 10;
    static constexpr std::size_t blockCount = 4;
    // The memory that holds the blocks after the first: one large page.
    static constexpr std::size_t othersSize = std::size_t{2} << 20;

private:
    struct Block {
        std::uint8_t* bytes = nullptr;
        std::size_t size = 0;
    };
    // The first block is taken from the heap, as most files need no other;
    // the others, once the file outgrows the first, from one large page,
    // which a single touch brings in.
    struct Memory {
        std::unique_ptr<std::uint8_t[]> first;
        std::uint8_t* others = nullptr;
        ~Memory();
    };

    // Hands the block being filled to the thread and moves to the next.
    void handOver();
    // Waits until the thread has written every block handed to it.
    void drain();
    void run();
    // Writes `block` and empties it; on failure notes the error.
    void writeOut(Block& block);
    bool failure() const;

    const int fd_;
    DiskFlush& flush_;
    Memory memory_;
    std::vector<Block> blocks_;  // a ring: the one being filled, then those queued
    std::size_t filling_ = 0;    // the block being filled
    std::uint64_t written_ = 0;  // bytes in the file

    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t queued_ = 0;  // full blocks before `filling_`, oldest first
    bool stopping_ = false;
    int error_ = 0;       // errno of the first write that failed
    std::thread thread_;  // started with the first full block
};

}  // namespace base
