#pragma once
// How much an object graph spells out when it is written as a tree: every
// object counted at every place it occurs, 16 bytes plus the length of its
// text or data (dictionary keys included). This is the measure the binary
// property-list reader charges, so a writer that walks the graph as a tree
// does work in proportion to it.
//
// A graph may share one container from many places, so what it spells out
// can be exponential in the objects it holds (an array holding twice the
// array one level down, repeated). expandedSize() measures a shared
// container once, so its cost follows the graph as built; it stops counting
// as soon as the total passes `limit`.

#include <cstdint>
#include <limits>

#include "Corral/base/BaseExport.h"
#include "Corral/base/Object.h"

namespace base {

// What a value may spell out before its writers refuse it: the largest frame
// the live-view transport carries.
inline constexpr std::uint64_t maxExpandedSize = std::uint64_t{64} << 20;

// The expanded size of `object` (0 for an absent one), or a number above
// `limit` as soon as it is known to pass it. A graph that contains itself
// counts as passing every limit.
BASE_EXPORT std::uint64_t expandedSize(
    const ObjectRef& object, std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());

// True when `object` spells out no more than maxExpandedSize.
inline bool isWithinExpandedSizeLimit(const ObjectRef& object) {
    return expandedSize(object, maxExpandedSize) <= maxExpandedSize;
}

}  // namespace base
