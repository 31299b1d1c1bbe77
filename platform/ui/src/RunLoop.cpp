#include "ui/RunLoop.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace ui {

struct RunLoop::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Work> queue;
    std::vector<Work> observers;
    bool stopRequested = false;
    bool running = false;

    // Runs queued work one item at a time, so that work that throws leaves
    // the rest queued. Returns false when a stop was requested.
    bool drain(bool honourStop) {
        for (;;) {
            Work work;
            {
                std::lock_guard lock(mutex);
                if (honourStop && stopRequested) return false;
                if (queue.empty()) return true;
                work = std::move(queue.front());
                queue.pop_front();
            }
            work();
        }
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
    static auto* loop = new RunLoop();  // lives until exit, for threads still posting
    return *loop;
}

RunLoop::RunLoop() : state_(std::make_unique<State>()) {}

RunLoop::~RunLoop() = default;

void RunLoop::post(Work work) {
    {
        std::lock_guard lock(state_->mutex);
        state_->queue.push_back(std::move(work));
    }
    state_->wake.notify_all();
}

void RunLoop::run() {
    {
        std::lock_guard lock(state_->mutex);
        state_->running = true;
    }
    struct Finish {
        State& state;
        ~Finish() {
            std::lock_guard lock(state.mutex);
            state.running = false;
            state.stopRequested = false;
        }
    } finish{*state_};
    for (;;) {
        if (!state_->drain(true)) return;
        state_->notifyObservers();
        std::unique_lock lock(state_->mutex);
        state_->wake.wait(lock, [&] { return state_->stopRequested || !state_->queue.empty(); });
    }
}

void RunLoop::runUntilIdle() {
    state_->drain(false);
    state_->notifyObservers();
}

void RunLoop::stop() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopRequested = true;
    }
    state_->wake.notify_all();
}

bool RunLoop::isRunning() const {
    std::lock_guard lock(state_->mutex);
    return state_->running;
}

void RunLoop::addTurnObserver(Work observer) {
    std::lock_guard lock(state_->mutex);
    state_->observers.push_back(std::move(observer));
}

}  // namespace ui
