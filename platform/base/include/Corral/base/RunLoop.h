#pragma once
// A run loop: a queue of work that any thread may post to, run in order, one
// item at a time, by the thread that runs the loop. The main run loop is the
// one the page's thread runs (in a live-view process, the application's
// main thread). Whenever the queue has been drained the turn observers run
// (the UI toolkit lays out its windows there); then the loop waits for work.
// Work that throws leaves the loop with the exception; the rest of the queue
// stays queued.

#include <chrono>
#include <functional>
#include <memory>

#include "Corral/base/BaseExport.h"
#include "Corral/base/Duration.h"

namespace base {

class BASE_EXPORT RunLoop {
public:
    using Work = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    // The process's main run loop.
    static RunLoop& main();

    RunLoop();
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // Queues `work`; safe from any thread, including from inside a work item.
    void post(Work work);

    // Runs work until `done()` holds or `deadline` passes. `done` is checked
    // first and after every work item or wake-up, without the loop's lock
    // held. Returns whether `done()` held. Loops may nest: work may run
    // runUntil again.
    bool runUntil(const std::function<bool()>& done, Clock::time_point deadline);
    // The same with a timeout of any unit from now. Timeouts beyond what the
    // clock can name wait for ever; negative ones do not wait.
    template <class Rep, class Period>
    bool runUntil(const std::function<bool()>& done, std::chrono::duration<Rep, Period> timeout) {
        return runUntil(done, deadlineAfter(saturatingDurationCast<Clock::duration>(timeout)));
    }
    // Now plus `timeout`, clamped to the clock's range.
    static Clock::time_point deadlineAfter(Clock::duration timeout) noexcept {
        return saturatingAdd(Clock::now(), timeout);
    }

    // Runs until stop() (from any thread or a work item) or the deadline.
    // Returns true when stopped, false on the deadline. A stop requested
    // while the loop is not running makes the next run return at once.
    bool run(Clock::time_point deadline = Clock::time_point::max());
    // Work still queued when the loop returns stays queued.
    void stop();
    bool isRunning() const;

    // Runs the queued work, and what it queues in turn, then the turn
    // observers, and returns.
    void runUntilIdle();
    void addTurnObserver(Work observer);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace base
