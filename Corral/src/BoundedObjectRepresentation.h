#pragma once
// Library-internal: the object representation of a value that is about to
// leave the library, refused when it would spell out too much.
//
// A value may share its parts (a copy costs one reference), so a value built
// in a few steps can stand for a tree far larger than memory. The conversion
// keeps the sharing, but whoever receives the object (a host saving the
// store, a transport writing a frame, a protocol written as text) walks it
// as a tree. A value whose tree would pass base::maxExpandedSize is
// therefore not handed on: the refusal is written to the diagnostic log.

#include <optional>
#include <string_view>

#include "Corral/PaddockValue.h"
#include "Corral/base/Object.h"

// The object representation of `value`, or nothing when it would spell out
// more than base::maxExpandedSize. Then "<what> is refused: ..." is logged,
// ending with `consequence`.
std::optional<base::ObjectRef> boundedObjectRepresentation(const PaddockValue& value,
                                                           std::string_view what,
                                                           std::string_view consequence);
