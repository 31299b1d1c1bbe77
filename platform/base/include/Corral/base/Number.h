#pragma once
// An immutable number object: one number and the one-character type code of
// the primitive type it was made from ("c" signed char, "C" unsigned char,
// "B" bool, "s"/"S" short, "i"/"I" int, "l"/"L" long, "q"/"Q" long long,
// "f" float, "d" double). The code is kept as a string, so a number that
// reports some other or longer code can be represented too.

#include <cstdint>
#include <string>

#include "Corral/base/Object.h"

namespace base {

class BASE_EXPORT Number final : public Object {
public:
    static constexpr Kind staticKind = Kind::number;

    // How the number is stored: one of the three C++ types every code widens to.
    enum class Storage { signedInteger, unsignedInteger, floatingPoint };

    // The constructors the libraries use; each fixes the reported type code.
    static Ref<Number> initWithBool(bool value);             // "c"
    static Ref<Number> initWithInteger(std::int64_t value);  // "q"
    static Ref<Number> initWithDouble(double value);         // "d"

    // The constructors for every other primitive type a host may send.
    static Ref<Number> initWithChar(signed char value);                 // "c"
    static Ref<Number> initWithUnsignedChar(unsigned char value);       // "C"
    static Ref<Number> initWithCBool(bool value);                       // "B"
    static Ref<Number> initWithShort(short value);                      // "s"
    static Ref<Number> initWithUnsignedShort(unsigned short value);     // "S"
    static Ref<Number> initWithInt(int value);                          // "i"
    static Ref<Number> initWithUnsignedInt(unsigned int value);         // "I"
    static Ref<Number> initWithLong(long value);                        // "l"
    static Ref<Number> initWithUnsignedLong(unsigned long value);       // "L"
    static Ref<Number> initWithLongLong(long long value);               // "q"
    static Ref<Number> initWithUnsignedLongLong(unsigned long long v);  // "Q"
    static Ref<Number> initWithFloat(float value);                      // "f"

    // A number reporting an arbitrary type code (for example a code of some
    // other primitive type, or one longer than one character).
    static Ref<Number> withTypeCode(std::string typeCode, std::int64_t value);
    static Ref<Number> withTypeCode(std::string typeCode, double value);

    const std::string& typeCode() const noexcept { return typeCode_; }
    Storage storage() const noexcept { return storage_; }

    // True for any non-zero number.
    bool boolValue() const noexcept;
    // The number as a signed 64-bit integer: an unsigned value above the
    // signed maximum reads as its two's-complement bit pattern; a double is
    // truncated toward zero and saturates at the range ends (NaN reads 0).
    std::int64_t integerValue() const noexcept;
    // The number as an unsigned 64-bit integer (signed values wrap).
    std::uint64_t unsignedIntegerValue() const noexcept;
    // The number as a double (integers are rounded to the nearest double).
    double doubleValue() const noexcept;

    Kind kind() const noexcept override { return staticKind; }
    std::string className() const override { return "Number"; }
    bool isEqual(const Object& other) const noexcept override;
    std::size_t hash() const noexcept override;
    std::string description() const override;

    Number(std::string typeCode, Storage storage, std::uint64_t bits) noexcept;

private:
    std::string typeCode_;
    Storage storage_;
    union {
        std::int64_t i;
        std::uint64_t u;
        double d;
    } value_;
};

}  // namespace base
