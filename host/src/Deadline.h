#pragma once
// Deadlines from a number of seconds given by a person: a huge number (or
// infinity) means no deadline, never an overflow into the past.

#include <chrono>
#include <cmath>

namespace host {

using SteadyClock = std::chrono::steady_clock;

inline SteadyClock::time_point deadlineAfter(double seconds,
                                             SteadyClock::time_point now = SteadyClock::now()) {
    if (std::isnan(seconds) || seconds <= 0) return now;
    // Compared in seconds, as doubles: converting first would overflow.
    double room = std::chrono::duration<double>(SteadyClock::time_point::max() - now).count();
    if (seconds >= room) return SteadyClock::time_point::max();
    auto step =
        std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds));
    // Rounding near the top may still step past the end.
    if (step >= SteadyClock::time_point::max() - now) return SteadyClock::time_point::max();
    return now + step;
}

// Milliseconds to wait for `deadline` in poll(): -1 for none, never negative otherwise.
inline int pollTimeout(SteadyClock::time_point deadline,
                       SteadyClock::time_point now = SteadyClock::now()) {
    if (deadline == SteadyClock::time_point::max()) return -1;
    if (deadline <= now) return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return ms > 1'000'000 ? 1'000'000 : static_cast<int>(ms);
}

}  // namespace host
