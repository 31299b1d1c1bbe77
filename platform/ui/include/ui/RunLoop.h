#pragma once
// A queue of work run in order on the thread that runs the loop. Any thread
// may post work or stop the loop. Whenever the queue has been drained the
// turn observers run (the application lays out its windows there), then the
// loop waits for more work.

#include <functional>
#include <memory>

#include "ui/UIExport.h"

namespace ui {

class UI_EXPORT RunLoop {
public:
    using Work = std::function<void()>;

    // The loop of the main thread, which the application runs.
    static RunLoop& main();

    RunLoop();
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    void post(Work work);
    // Runs work until stop() is called. A stop requested while the loop is
    // not running makes the next run return at once. Work that throws leaves
    // the loop with the exception; the rest of the queue stays queued.
    void run();
    // Runs the queued work, and what it queues in turn, then the turn
    // observers, and returns.
    void runUntilIdle();
    // The loop returns once the work item running now has finished; work
    // still queued stays queued.
    void stop();
    bool isRunning() const;
    void addTurnObserver(Work observer);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace ui
