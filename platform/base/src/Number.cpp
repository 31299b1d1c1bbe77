#include "Corral/base/Number.h"

#include "Corral/base/DecimalText.h"
#include "Corral/base/ObjectMemory.h"

#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>

namespace base {

namespace {
Ref<Number> makeSigned(const char* code, std::int64_t value) {
    return makeObject<Number>(code, Number::Storage::signedInteger,
                              static_cast<std::uint64_t>(value));
}
Ref<Number> makeUnsigned(const char* code, std::uint64_t value) {
    return makeObject<Number>(code, Number::Storage::unsignedInteger, value);
}
Ref<Number> makeDouble(const char* code, double value) {
    return makeObject<Number>(code, Number::Storage::floatingPoint,
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
    return makeObject<Number>(std::move(typeCode), Storage::signedInteger,
                              static_cast<std::uint64_t>(value));
}

Ref<Number> Number::withTypeCode(std::string typeCode, double value) {
    return makeObject<Number>(std::move(typeCode), Storage::floatingPoint,
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

namespace {

constexpr double twoTo63 = 9223372036854775808.0;
constexpr double twoTo64 = 18446744073709551616.0;

// The exact integer a double stands for, when it is a whole number that one
// of the two 64-bit integer types holds.
std::optional<std::int64_t> exactSigned(double d) {
    if (!(d >= -twoTo63 && d < twoTo63) || d != std::trunc(d)) return std::nullopt;
    return static_cast<std::int64_t>(d);
}
std::optional<std::uint64_t> exactUnsigned(double d) {
    if (!(d >= 0 && d < twoTo64) || d != std::trunc(d)) return std::nullopt;
    return static_cast<std::uint64_t>(d);
}

}  // namespace

// Numbers compare by their exact mathematical value, whatever their storage:
// an integer equals a double only when the double is that very integer (no
// rounding of either side), so equality is transitive and agrees with hash().
// NaN equals NaN, so that every number equals itself and can be a key.
bool Number::isEqual(const Object& other) const noexcept {
    if (other.kind() != Kind::number) return false;
    const auto& that = static_cast<const Number&>(other);
    if (storage_ == Storage::floatingPoint && that.storage_ == Storage::floatingPoint)
        return value_.d == that.value_.d || (std::isnan(value_.d) && std::isnan(that.value_.d));
    if (storage_ == Storage::floatingPoint || that.storage_ == Storage::floatingPoint) {
        const Number& real = storage_ == Storage::floatingPoint ? *this : that;
        const Number& whole = storage_ == Storage::floatingPoint ? that : *this;
        if (whole.storage_ == Storage::signedInteger)
            return exactSigned(real.value_.d) == whole.value_.i;
        return exactUnsigned(real.value_.d) == whole.value_.u;
    }
    if (storage_ == that.storage_) return value_.u == that.value_.u;
    // One signed, one unsigned: equal only when the signed one is not negative.
    std::int64_t s = storage_ == Storage::signedInteger ? value_.i : that.value_.i;
    return s >= 0 && value_.u == that.value_.u;
}

std::size_t Number::hash() const noexcept {
    // Equal numbers hash alike: every whole number a 64-bit integer holds
    // hashes as that integer's bits, whatever its storage.
    if (storage_ != Storage::floatingPoint) return std::hash<std::uint64_t>{}(value_.u);
    const double d = value_.d;
    if (auto s = exactSigned(d)) return std::hash<std::uint64_t>{}(static_cast<std::uint64_t>(*s));
    if (auto u = exactUnsigned(d)) return std::hash<std::uint64_t>{}(*u);
    if (std::isnan(d)) return std::hash<double>{}(std::numeric_limits<double>::quiet_NaN());
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
    return decimalText(value_.d, 17);
}

}  // namespace base
