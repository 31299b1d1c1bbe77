#include "Corral/base/RunLoop.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace base {

struct RunLoop::State {
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<Work> queue;
    std::vector<Work> observers;
    bool stopRequested = false;
    int depth = 0;                // nested runs in progress
    std::uint64_t wakeCount = 0;  // bumped by stop(), so waiters re-check

    // Takes the next work item, or nothing when the queue is empty.
    Work next() {
        std::lock_guard lock(mutex);
        if (queue.empty()) return nullptr;
        Work work = std::move(queue.front());
        queue.pop_front();
        return work;
    }

    void notifyObservers() {
        std::vector<Work> snapshot;
        {
            std::lock_guard lock(mutex);
            snapshot = observers;
        }
        for (auto& observer : snapshot) observer();
    }
};

RunLoop& RunLoop::main() {
    static RunLoop* loop = new RunLoop();  // lives until exit, for threads still posting
    return *loop;
}

RunLoop::RunLoop() : state_(std::make_unique<State>()) {}
RunLoop::~RunLoop() = default;

void RunLoop::post(Work work) {
    {
        std::lock_guard lock(state_->mutex);
        state_->queue.push_back(std::move(work));
    }
    state_->changed.notify_all();
}

bool RunLoop::runUntil(const std::function<bool()>& done, Clock::time_point deadline) {
    State& state = *state_;
    {
        std::lock_guard lock(state.mutex);
        ++state.depth;
    }
    struct Leave {
        State& state;
        ~Leave() {
            std::lock_guard lock(state.mutex);
            --state.depth;
        }
    } leave{state};

    for (;;) {
        // The wake count is read before the condition is looked at: a stop()
        // that comes after the look, but before the wait, changes it and so
        // ends the wait, rather than being missed for good.
        std::uint64_t seen;
        {
            std::lock_guard lock(state.mutex);
            seen = state.wakeCount;
        }
        if (done()) return true;
        if (Work work = state.next()) {
            work();
            continue;
        }
        state.notifyObservers();
        if (done()) return true;
        std::unique_lock lock(state.mutex);
        bool woken = state.changed.wait_until(
            lock, deadline, [&] { return !state.queue.empty() || state.wakeCount != seen; });
        lock.unlock();
        if (!woken) return done();
    }
}

bool RunLoop::run(Clock::time_point deadline) {
    bool stopped = runUntil(
        [this] {
            std::lock_guard lock(state_->mutex);
            return state_->stopRequested;
        },
        deadline);
    std::lock_guard lock(state_->mutex);
    state_->stopRequested = false;
    return stopped;
}

void RunLoop::stop() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopRequested = true;
        ++state_->wakeCount;
    }
    state_->changed.notify_all();
}

bool RunLoop::isRunning() const {
    std::lock_guard lock(state_->mutex);
    return state_->depth > 0;
}

void RunLoop::runUntilIdle() {
    while (Work work = state_->next()) work();
    state_->notifyObservers();
}

void RunLoop::addTurnObserver(Work observer) {
    std::lock_guard lock(state_->mutex);
    state_->observers.push_back(std::move(observer));
}

}  // namespace base
