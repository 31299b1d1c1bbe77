#pragma once
// Object graphs that share their parts: small as built, huge as trees.

#include <cstdint>

#include "Corral/base/Objects.h"

namespace testing_support {

// What doubling an array `levels` times spells out, at 16 bytes a node plus
// its text: the innermost array (16) holds "leaf" (16 + 4), and each level
// adds a node and holds the one below twice, so 52 * 2^levels - 16.
inline std::uint64_t doubledArraySize(int levels) { return 52 * (std::uint64_t{1} << levels) - 16; }

// An array holding the string "leaf", then `levels` arrays each holding
// the one below twice: levels + 2 objects, 2^levels leaves as a tree.
inline base::ObjectRef doubledArray(int levels) {
    base::ObjectRef value = base::Array::make({base::String::make("leaf")});
    for (int level = 0; level < levels; ++level) value = base::Array::make({value, value});
    return value;
}

}  // namespace testing_support
