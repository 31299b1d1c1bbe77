#pragma once
// A run loop: a queue of work that any thread may post to, run by one thread
// (the main run loop belongs to the thread that runs the page). Work items
// run in the order they were posted, one at a time, on the running thread.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "base/BaseExport.h"

namespace base {

class BASE_EXPORT RunLoop {
public:
    using Work = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    // The process's main run loop.
    static RunLoop& main();

    RunLoop() = default;
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // Queues `work`; safe from any thread, including from inside a work item.
    void post(Work work);

    // Runs queued work until `done()` holds or `deadline` passes. `done` is
    // checked before waiting and after every work item. Returns whether
    // `done()` held. Work posted meanwhile is run as it arrives.
    bool runUntil(const std::function<bool()>& done, Clock::time_point deadline);
    bool runUntil(const std::function<bool()>& done, Clock::duration timeout) {
        return runUntil(done, Clock::now() + timeout);
    }

    // Runs until stop() is called (from any thread or a work item) or the
    // deadline passes. Returns true when stopped, false on the deadline.
    bool run(Clock::time_point deadline = Clock::time_point::max());
    void stop();

    // Runs the work that is queued now, without waiting. Returns how many
    // items ran.
    std::size_t runPending();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Work> queue_;
    bool stopRequested_ = false;
};

}  // namespace base
