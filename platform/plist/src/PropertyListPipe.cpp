#include "Corral/plist/PropertyListPipe.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "PropertyListRecorder.h"

namespace base {

namespace {

using plist::EventBlock;

// Thrown on the reading thread once the taking side has stopped.
struct ReadingStopped {};

// The blocks between the two threads: those filled and waiting to be
// played, and those free to be filled, no more than `blockCount` in all.
class EventPipe final : public plist::EventBlockSource {
public:
    explicit EventPipe(const PropertyListPipeOptions& options)
        : blockSize_(std::max<std::size_t>(options.blockSize, 1)),
          blockCount_(std::max<std::size_t>(options.blockCount, 1)),
          filled_(blockCount_) {
        // Nothing allocates while blocks change hands: a block is never
        // dropped on its way.
        blocks_.reserve(blockCount_);
        free_.reserve(blockCount_);
    }

    std::size_t blockSize() const { return blockSize_; }

    // Reading side.
    EventBlock& next(EventBlock* full) override {
        std::unique_lock lock(mutex_);
        if (full) {
            pushFilled(full);
            changed_.notify_all();
        }
        if (free_.empty() && blocks_.size() < blockCount_) {
            blocks_.push_back(std::make_unique<EventBlock>(blockSize_));
            return *blocks_.back();
        }
        changed_.wait(lock, [this] { return stopped_ || !free_.empty(); });
        if (stopped_) throw ReadingStopped{};
        EventBlock* block = free_.back();
        free_.pop_back();
        return *block;
    }

    // The reading has ended, with `failure` if it failed; `last` holds what
    // it recorded since the last hand-over.
    void finish(EventBlock* last, std::exception_ptr failure) {
        std::lock_guard lock(mutex_);
        if (last && !last->empty()) pushFilled(last);
        finished_ = true;
        failure_ = std::move(failure);
        changed_.notify_all();
    }

    // Taking side: the next filled block, or null once reading has ended
    // and every block has been taken.
    EventBlock* take() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return finished_ || filledCount_ > 0; });
        if (filledCount_ == 0) return nullptr;
        EventBlock* block = filled_[filledFirst_];
        filledFirst_ = (filledFirst_ + 1) % filled_.size();
        --filledCount_;
        return block;
    }

    void giveBack(EventBlock& block) {
        block.reset(blockSize_);
        std::lock_guard lock(mutex_);
        free_.push_back(&block);
        changed_.notify_all();
    }

    // The taking side has stopped: the reading thread stops at its next
    // hand-over.
    void stop() {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }

    std::exception_ptr failure() {
        std::lock_guard lock(mutex_);
        return failure_;
    }

private:
    void pushFilled(EventBlock* block) {
        filled_[(filledFirst_ + filledCount_) % filled_.size()] = block;
        ++filledCount_;
    }

    const std::size_t blockSize_;
    const std::size_t blockCount_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<EventBlock>> blocks_;
    std::vector<EventBlock*> free_;
    // Filled blocks in order, a ring as long as there are blocks.
    std::vector<EventBlock*> filled_;
    std::size_t filledFirst_ = 0;
    std::size_t filledCount_ = 0;
    bool finished_ = false;
    bool stopped_ = false;
    std::exception_ptr failure_;
};

// Stops and joins the reading thread however the taking side leaves.
class ReadingThread {
public:
    ReadingThread(EventPipe& pipe, std::thread thread) : pipe_(pipe), thread_(std::move(thread)) {}
    ~ReadingThread() { join(); }
    ReadingThread(const ReadingThread&) = delete;
    ReadingThread& operator=(const ReadingThread&) = delete;

    void join() {
        if (!thread_.joinable()) return;
        pipe_.stop();
        thread_.join();
    }

private:
    EventPipe& pipe_;
    std::thread thread_;
};

}  // namespace

void pipePropertyList(std::span<const std::uint8_t> stable,
                      const std::function<void(PropertyListSink&)>& read, PropertyListSink& sink,
                      const PropertyListPipeOptions& options) {
    EventPipe pipe(options);
    auto readAll = [&] {
        plist::PropertyListRecorder recorder(stable, pipe, pipe.blockSize());
        std::exception_ptr failure;
        try {
            read(recorder);
        } catch (...) {
            failure = std::current_exception();
        }
        pipe.finish(recorder.release(), std::move(failure));
    };
    std::thread thread;
    try {
        thread = std::thread(readAll);
    } catch (const std::system_error&) {
        read(sink);
        return;
    }
    ReadingThread reading(pipe, std::move(thread));
    while (EventBlock* block = pipe.take()) {
        plist::replayEvents(block->bytes(), sink);
        pipe.giveBack(*block);
    }
    reading.join();
    if (auto failure = pipe.failure()) std::rethrow_exception(failure);
}

PropertyListFormat readPropertyListPipelined(std::span<const std::uint8_t> bytes,
                                             PropertyListSink& sink,
                                             const PropertyListPipeOptions& options) {
    pipePropertyList(
        bytes, [bytes](PropertyListSink& recorder) { readPropertyList(bytes, recorder); }, sink,
        options);
    return propertyListFormatOf(bytes);
}

}  // namespace base
