#include "Corral/base/Number.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>

namespace base {

namespace {
Ref<Number> makeSigned(const char* code, std::int64_t value) {
    return std::make_shared<Number>(code, Number::Storage::signedInteger,
                                    static_cast<std::uint64_t>(value));
}
Ref<Number> makeUnsigned(const char* code, std::uint64_t value) {
    return std::make_shared<Number>(code, Number::Storage::unsignedInteger, value);
}
Ref<Number> makeDouble(const char* code, double value) {
    return std::make_shared<Number>(code, Number::Storage::floatingPoint,
                                    std::bit_cast<std::uint64_t>(value));
}
}  // namespace

Number::Number(std::string typeCode, Storage storage, std::uint64_t bits) noexcept
    : typeCode_(std::move(typeCode)), storage_(storage) {
    value_.u = bits;
}

Ref<Number> Number::initWithBool(bool value) { return makeSigned("c", value ? 1 : 0); }
Ref<Number> Number::initWithInteger(std::int64_t value) { return makeSigned("q", value); }
Ref<Number> Number::initWithDouble(double value) { return makeDouble("d", value); }
Ref<Number> Number::initWithChar(signed char value) { return makeSigned("c", value); }
Ref<Number> Number::initWithUnsignedChar(unsigned char value) { return makeUnsigned("C", value); }
Ref<Number> Number::initWithCBool(bool value) { return makeUnsigned("B", value ? 1 : 0); }
Ref<Number> Number::initWithShort(short value) { return makeSigned("s", value); }
Ref<Number> Number::initWithUnsignedShort(unsigned short value) { return makeUnsigned("S", value); }
Ref<Number> Number::initWithInt(int value) { return makeSigned("i", value); }
Ref<Number> Number::initWithUnsignedInt(unsigned int value) { return makeUnsigned("I", value); }
Ref<Number> Number::initWithLong(long value) { return makeSigned("l", value); }
Ref<Number> Number::initWithUnsignedLong(unsigned long value) { return makeUnsigned("L", value); }
Ref<Number> Number::initWithLongLong(long long value) { return makeSigned("q", value); }
Ref<Number> Number::initWithUnsignedLongLong(unsigned long long v) { return makeUnsigned("Q", v); }
Ref<Number> Number::initWithFloat(float value) { return makeDouble("f", value); }

Ref<Number> Number::withTypeCode(std::string typeCode, std::int64_t value) {
    return std::make_shared<Number>(std::move(typeCode), Storage::signedInteger,
                                    static_cast<std::uint64_t>(value));
}

Ref<Number> Number::withTypeCode(std::string typeCode, double value) {
    return std::make_shared<Number>(std::move(typeCode), Storage::floatingPoint,
                                    std::bit_cast<std::uint64_t>(value));
}

bool Number::boolValue() const noexcept {
    return storage_ == Storage::floatingPoint ? value_.d != 0.0 : value_.u != 0;
}

std::int64_t Number::integerValue() const noexcept {
    switch (storage_) {
        case Storage::signedInteger:
            return value_.i;
        case Storage::unsignedInteger:
            return static_cast<std::int64_t>(value_.u);
        case Storage::floatingPoint:
            break;
    }
    double d = value_.d;
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
    if (d < -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

std::uint64_t Number::unsignedIntegerValue() const noexcept {
    if (storage_ != Storage::floatingPoint) return value_.u;
    double d = value_.d;
    if (std::isnan(d) || d <= -1.0) return static_cast<std::uint64_t>(integerValue());
    if (d >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(d);
}

double Number::doubleValue() const noexcept {
    switch (storage_) {
        case Storage::signedInteger:
            return static_cast<double>(value_.i);
        case Storage::unsignedInteger:
            return static_cast<double>(value_.u);
        case Storage::floatingPoint:
            break;
    }
    return value_.d;
}

bool Number::isEqual(const Object& other) const noexcept {
    if (other.kind() != Kind::number) return false;
    const auto& that = static_cast<const Number&>(other);
    if (storage_ == Storage::floatingPoint || that.storage_ == Storage::floatingPoint)
        return doubleValue() == that.doubleValue();
    if (storage_ == that.storage_) return value_.u == that.value_.u;
    // One signed, one unsigned: equal only when the signed one is not negative.
    std::int64_t s = storage_ == Storage::signedInteger ? value_.i : that.value_.i;
    return s >= 0 && value_.u == that.value_.u;
}

std::size_t Number::hash() const noexcept {
    // Equal numbers must hash alike whatever their storage: integral values
    // hash as integers, everything else by its double.
    double d = doubleValue();
    if (storage_ != Storage::floatingPoint) return std::hash<std::uint64_t>{}(value_.u);
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.2e18)
        return std::hash<std::uint64_t>{}(static_cast<std::uint64_t>(static_cast<std::int64_t>(d)));
    return std::hash<double>{}(d);
}

std::string Number::description() const {
    switch (storage_) {
        case Storage::signedInteger:
            return std::to_string(value_.i);
        case Storage::unsignedInteger:
            return std::to_string(value_.u);
        case Storage::floatingPoint:
            break;
    }
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value_.d);
    return buffer;
}

}  // namespace base
