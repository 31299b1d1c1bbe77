#pragma once
// The format-specific readers and writers behind base/PropertyList.h, and
// what they share. Each reader takes the whole input and returns its root.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Number.h"
#include "base/PropertyList.h"

namespace base::plist {

[[noreturn]] void invalid(std::string_view detail);
[[noreturn]] void unwritable(std::string_view detail);

ObjectRef readXml(std::span<const std::uint8_t> bytes);
ObjectRef readBinary(std::span<const std::uint8_t> bytes);
ObjectRef readText(std::span<const std::uint8_t> bytes);

void writeXml(const ObjectRef& root, std::vector<std::uint8_t>& out);
void writeBinary(const ObjectRef& root, std::vector<std::uint8_t>& out);

// How a number object is stored in a property list: booleans by their type
// code ("c", "C", "B"), reals by "f" and "d" (or floating-point storage for
// other codes), integers otherwise.
enum class NumberForm { boolean, signedInteger, unsignedInteger, real };
NumberForm numberForm(const Number& number) noexcept;

// The objects readers make for booleans and integers.
Ref<Number> booleanObject(bool value);
Ref<Number> integerObject(std::int64_t value);
Ref<Number> unsignedIntegerObject(std::uint64_t value);

// Counts one more level of nesting; fails past the limit.
void enterLevel(std::size_t& depth, bool writing);

// Counts nesting while a reader or writer descends.
class DepthGuard {
public:
    DepthGuard(std::size_t& depth, bool writing) : depth_(depth) { enterLevel(depth, writing); }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    std::size_t& depth_;
};

// A string object's text, checked to be valid UTF-8 for writing.
const std::string& writableText(const Object& string);

}  // namespace base::plist
