#pragma once
// Property-list serialisation: reads the XML, binary and old text formats
// into strings, numbers, data, dates, arrays and dictionaries with string
// keys, and writes the XML and binary formats.
//
// Booleans are number objects made by initWithBool (type code "c"; codes "C"
// and "B" are written as booleans too). Integers read as type code "q", or
// "Q" when above the signed 64-bit maximum; reals read as "d". Dictionaries
// keep the order in which the input lists their keys, and writers keep the
// order of the dictionary, so reading and writing is byte-stable.
//
// Every failure is a PropertyListError. Reading never crashes, hangs or
// grows without bound on hostile input: each defect gives an error whose
// reason begins "not a valid property list". A binary list may refer to one
// object from many places, but a list whose values, counted at each
// reference as 16 bytes plus their text or data, come to more than 64 times
// its size plus a megabyte is refused.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "Corral/base/Exception.h"
#include "Corral/base/Object.h"
#include "Corral/plist/PropertyListExport.h"

namespace base {

enum class PropertyListFormat {
    openStep,  // the old text format: { key = value; }, ( a, b ), <0fbd>; read only
    xml,
    binary,
};

class PLIST_EXPORT PropertyListError : public Exception {
public:
    static constexpr const char* exceptionName = "PropertyListError";
    explicit PropertyListError(std::string reason) : Exception(exceptionName, std::move(reason)) {}
};

struct PropertyListReadResult {
    ObjectRef root;
    PropertyListFormat format;
};

// Containers nested deeper than this are refused by readers and writers.
inline constexpr std::size_t propertyListMaxDepth = 512;

// The format `bytes` are read as: binary when they start "bplist", XML when
// they start (after white space) with "<" and an element or declaration,
// else the old text format.
PLIST_EXPORT PropertyListFormat propertyListFormatOf(std::span<const std::uint8_t> bytes) noexcept;

// Detects the format of `bytes` and reads its one root value.
PLIST_EXPORT PropertyListReadResult readPropertyList(std::span<const std::uint8_t> bytes);

// Serialises `root` in `format`. Fails for the old text format, for objects
// that have no property-list form (null, values, blocks), for non-string
// dictionary keys, for text that is not valid UTF-8, and for what the XML
// format cannot hold (control characters other than tab, newline and
// carriage return; dates outside the years 1 to 9999). A container that
// occurs in several places is written in each. `sizeHint`, the
// expected size of the result, saves regrowing the buffer.
PLIST_EXPORT std::vector<std::uint8_t> writePropertyList(const ObjectRef& root,
                                                         PropertyListFormat format,
                                                         std::size_t sizeHint = 0);

PLIST_EXPORT std::string_view propertyListFormatName(PropertyListFormat format) noexcept;

}  // namespace base
