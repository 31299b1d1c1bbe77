#pragma once
// The format-specific readers and writers behind base/PropertyList.h, and
// what they share. Each reader takes the whole input and reports its root
// value to a sink; each writer is a sink.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Corral/base/Number.h"
#include "Corral/plist/PropertyList.h"
#include "Corral/plist/PropertyListStream.h"

namespace base::plist {

[[noreturn]] void invalid(std::string_view detail);
[[noreturn]] void unwritable(std::string_view detail);

void readXml(std::span<const std::uint8_t> bytes, PropertyListSink& sink);
// The two ways readXml has, one at a time: the full parser alone, and the
// scanner alone, which returns false where it leaves the document to the
// full parser (having reported a prefix of it).
void readXmlWithFullParser(std::span<const std::uint8_t> bytes, PropertyListSink& sink);
bool readXmlWithScanner(std::span<const std::uint8_t> bytes, PropertyListSink& sink);
void readBinary(std::span<const std::uint8_t> bytes, PropertyListSink& sink);
void readText(std::span<const std::uint8_t> bytes, PropertyListSink& sink);

// Writers to `output`, or, without one, keeping the bytes for finish().
std::unique_ptr<PropertyListWriter> makeXmlWriter(PropertyListOutput* output, std::size_t sizeHint);
std::unique_ptr<PropertyListWriter> makeBinaryWriter(PropertyListOutput* output,
                                                     std::size_t sizeHint);

// How a number object is stored in a property list: booleans by their type
// code ("c", "C", "B"), reals by "f" and "d" (or floating-point storage for
// other codes), integers otherwise.
enum class NumberForm { boolean, signedInteger, unsignedInteger, real };
NumberForm numberForm(const Number& number) noexcept;

// Reports an integer read from a file: unsigned above the signed maximum.
inline void reportInteger(PropertyListSink& sink, std::uint64_t magnitude, bool negative) {
    if (negative) {
        sink.integer(static_cast<std::int64_t>(0 - magnitude));
    } else if (magnitude > static_cast<std::uint64_t>(INT64_MAX)) {
        sink.unsignedInteger(magnitude);
    } else {
        sink.integer(static_cast<std::int64_t>(magnitude));
    }
}

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

// Fails unless `text` is valid UTF-8, as writers need it.
void checkWritable(std::string_view text);

}  // namespace base::plist
