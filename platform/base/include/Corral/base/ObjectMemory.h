#pragma once
// Memory for the objects of an object graph. Converting or reading a large
// property list makes and drops hundreds of thousands of small objects in
// bursts; the general-purpose heap spends most of such a burst coalescing
// the chunks it got back. Objects made through makeObject come from an
// allocator built for many small, short-lived blocks instead (a reference
// and its object share one block, as with std::make_shared). Objects may be
// released on any thread.

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

#include "Corral/base/BaseExport.h"
#include "Corral/base/SizedAllocator.h"

namespace base {

// `size` bytes aligned for any object of at most 16-byte alignment; throws
// std::bad_alloc when there is no memory.
BASE_EXPORT void* allocateObjectMemory(std::size_t size);
// Gives back a block of allocateObjectMemory of that size.
BASE_EXPORT void freeObjectMemory(void* block, std::size_t size) noexcept;

template <class T>
using ObjectAllocator = SizedAllocator<T, allocateObjectMemory, freeObjectMemory>;

// A new T, held by a reference, in object memory.
template <class T, class... Arguments>
std::shared_ptr<T> makeObject(Arguments&&... arguments) {
    return std::allocate_shared<T>(ObjectAllocator<T>{}, std::forward<Arguments>(arguments)...);
}

}  // namespace base
