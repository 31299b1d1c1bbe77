#include "EventLog.h"

namespace studio {

std::uint64_t EventLog::append(std::string json) {
    std::uint64_t number;
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(json));
        while (events_.size() > capacity_) {
            events_.pop_front();
            ++firstNumber_;
        }
        number = firstNumber_ + events_.size() - 1;
    }
    changed_.notify_all();
    return number;
}

std::uint64_t EventLog::readAfter(std::uint64_t after, std::vector<std::string>& out,
                                  std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const auto lastNumber = [&] { return firstNumber_ + events_.size() - 1; };
    changed_.wait_for(lock, timeout, [&] { return closed_ || lastNumber() > after; });
    std::uint64_t next = std::max(after + 1, firstNumber_);
    for (; next <= lastNumber(); ++next) out.push_back(events_[next - firstNumber_]);
    return next - 1 > after ? next - 1 : after;
}

std::uint64_t EventLog::last() const {
    std::lock_guard lock(mutex_);
    return firstNumber_ + events_.size() - 1;
}

void EventLog::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

bool EventLog::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

}  // namespace studio
