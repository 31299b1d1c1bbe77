#pragma once
// Values on the page-process protocol: every object the page and the host
// exchange is written as a JSON object with one key that names its kind, so
// no two values print alike:
//
//     {"string":"..."}  {"integer":-3}  {"floatingPoint":0.1}  {"boolean":true}
//     {"date":<seconds since 2001-01-01>}  {"data":"<base64>"}
//     {"array":[...]}  {"dictionary":{"key":...}}
//
// Doubles are written in their shortest form that reads back to the same
// bits; NaN and the infinities, which JSON has no numbers for, are the
// strings "nan", "inf" and "-inf" inside {"floatingPoint":...}. JSON null
// stands for an absent value. Two kinds appear only in events, never in
// commands: {"rect":{"x":..,"y":..,"width":..,"height":..}} for a boxed rect
// and {"object":"<class>"} for an object with no value form. A third,
// {"tooLarge":<bytes>}, stands in an event for a value whose parts are
// shared so often that written out it would pass that many bytes
// (base::maxExpandedSize); it is never expanded.

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "Corral/base/Object.h"

namespace host {

using Json = nlohmann::json;

// Containers nested deeper than this are refused on the way in and cut off
// (written as null) on the way out, so neither side can exhaust its stack.
inline constexpr int maxProtocolValueDepth = 512;

// `text` as valid UTF-8: every byte that does not belong to a well-formed
// sequence becomes U+FFFD on its own; everything else is kept as it is.
std::string validUtf8(std::string_view text);

// The tagged form of an object (null for an absent one).
Json taggedValue(const base::ObjectRef& object);

// The object a tagged value stands for: JSON null gives an absent object.
// Anything that is not a tagged value gives nothing, with the reason in
// `error`.
std::optional<base::ObjectRef> objectFromTaggedValue(const Json& value, std::string& error);

// Writes one JSON line (no newline) whose strings are all valid UTF-8.
std::string protocolLine(const Json& message);

}  // namespace host
