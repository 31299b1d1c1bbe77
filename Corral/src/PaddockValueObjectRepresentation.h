#pragma once
// Conversions between PaddockValue and its object representation, the graph
// of platform objects (string, number, data, date, array and dictionary
// objects) in which values cross the host boundary. Library-internal.
//
// Out: every value converts, always. integer, floatingPoint and boolean
// become number objects with type codes "q", "d" and "c".
//
// In: an object converts when it and everything inside it is of a kind the
// representation knows; otherwise the result is nothing, however deep the
// offending object sits. Number objects choose their case by type code:
// "c", "C", "B" give boolean; "i", "s", "l", "q", "I", "S", "L", "Q" give
// integer (an unsigned number above the signed 64-bit maximum reads as its
// two's-complement bit pattern, so "Q" 2^64-1 gives -1); "f", "d" give
// floatingPoint; any other code gives nothing.
//
// Both directions work through an explicit work list rather than recursion,
// so nesting of any depth converts without exhausting the stack.

#include <optional>

#include "Corral/PaddockValue.h"
#include "Corral/base/Object.h"

// The object representation of `value`, built afresh on every call.
base::ObjectRef objectRepresentation(const PaddockValue& value);

// The value `object` represents, or nothing when any part of it is outside
// the object representation (an absent object included).
std::optional<PaddockValue> paddockValueFromObjectRepresentation(const base::ObjectRef& object);
