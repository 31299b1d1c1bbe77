#include "base/RunLoop.h"

namespace base {

RunLoop& RunLoop::main() {
    static RunLoop* loop = new RunLoop();  // lives until exit
    return *loop;
}

void RunLoop::post(Work work) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    changed_.notify_all();
}

bool RunLoop::runUntil(const std::function<bool()>& done, Clock::time_point deadline) {
    while (!done()) {
        Work work;
        {
            std::unique_lock lock(mutex_);
            if (changed_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) {
                work = std::move(queue_.front());
                queue_.pop_front();
            }
        }
        // The condition is checked without the lock: it may take it itself.
        if (!work) return done();
        work();
    }
    return true;
}

bool RunLoop::run(Clock::time_point deadline) {
    bool stopped = runUntil(
        [this] {
            std::lock_guard lock(mutex_);
            return stopRequested_;
        },
        deadline);
    std::lock_guard lock(mutex_);
    stopRequested_ = false;
    return stopped;
}

void RunLoop::stop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
        // Wake the runner even when no work is queued.
        queue_.push_back([] {});
    }
    changed_.notify_all();
}

std::size_t RunLoop::runPending() {
    std::deque<Work> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
    }
    for (auto& work : batch) work();
    return batch.size();
}

}  // namespace base
