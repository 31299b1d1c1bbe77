#pragma once
// An immutable date object: a point in time as seconds (a double) since the
// reference date 2001-01-01 00:00:00 UTC, as property lists store it.

#include "Corral/base/Object.h"

namespace base {

class BASE_EXPORT Date final : public Object {
public:
    static constexpr Kind staticKind = Kind::date;
    // Seconds between 1970-01-01 and 2001-01-01, both UTC.
    static constexpr double referenceDateSince1970 = 978307200.0;

    static Ref<Date> withTimeIntervalSinceReferenceDate(double seconds);
    static Ref<Date> withTimeIntervalSince1970(double seconds);
    static Ref<Date> now();

    explicit Date(double seconds) : seconds_(seconds) {}
    double timeIntervalSinceReferenceDate() const noexcept { return seconds_; }
    double timeIntervalSince1970() const noexcept { return seconds_ + referenceDateSince1970; }

    Kind kind() const noexcept override { return staticKind; }
    std::string className() const override { return "Date"; }
    bool isEqual(const Object& other) const noexcept override;
    std::size_t hash() const noexcept override;
    // ISO 8601 in UTC, such as "2001-01-01T00:00:00Z".
    std::string description() const override;

private:
    double seconds_;
};

}  // namespace base
