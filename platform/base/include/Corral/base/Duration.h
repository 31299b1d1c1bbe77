#pragma once
// Time arithmetic that saturates instead of overflowing: a timeout of "for
// ever" (the largest duration, or a huge number of seconds) becomes the
// latest time a clock can name, not a time in the past.

#include <chrono>
#include <cmath>
#include <type_traits>

namespace base {

// `from` in the unit of `To`, clamped to the range of `To`. A NaN count
// reads as zero.
template <class To, class Rep, class Period>
constexpr To saturatingDurationCast(std::chrono::duration<Rep, Period> from) noexcept {
    if constexpr (std::is_floating_point_v<Rep>) {
        if (std::isnan(from.count())) return To::zero();
    }
    // Compared in a floating-point type wide enough for both ranges.
    using Wide = std::chrono::duration<long double, typename To::period>;
    const long double wide = std::chrono::duration_cast<Wide>(from).count();
    if (wide >= static_cast<long double>(To::max().count())) return To::max();
    if (wide <= static_cast<long double>(To::min().count())) return To::min();
    return std::chrono::duration_cast<To>(from);
}

// `start + offset`, clamped to the range of the time point's type.
template <class Clock, class Duration>
constexpr std::chrono::time_point<Clock, Duration> saturatingAdd(
    std::chrono::time_point<Clock, Duration> start, Duration offset) noexcept {
    using Point = std::chrono::time_point<Clock, Duration>;
    const Duration since = start.time_since_epoch();
    if (offset > Duration::zero() && since > Duration::max() - offset) return Point::max();
    if (offset < Duration::zero() && since < Duration::min() - offset) return Point::min();
    return start + offset;
}

}  // namespace base
