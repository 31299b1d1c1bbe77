#pragma once
// The events the browser is shown, numbered in order. Readers wait for
// events after the last one they saw; only the newest `capacity` are kept,
// so a page that floods the console cannot exhaust the server's memory (a
// reader that fell behind skips to the oldest event still kept).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace studio {

class EventLog {
public:
    explicit EventLog(std::size_t capacity = 20000) : capacity_(capacity) {}

    // Adds one event (a JSON object as text) and returns its number (from 1).
    std::uint64_t append(std::string json);
    // The events numbered above `after`, waiting up to `timeout` for one.
    // Returns the number of the last event returned (or `after`).
    std::uint64_t readAfter(std::uint64_t after, std::vector<std::string>& out,
                            std::chrono::milliseconds timeout);
    std::uint64_t last() const;
    // Wakes every waiting reader; later reads return at once.
    void close();
    bool closed() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> events_;
    std::uint64_t firstNumber_ = 1;
    std::size_t capacity_;
    bool closed_ = false;
};

}  // namespace studio
