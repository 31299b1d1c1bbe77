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

namespace base {

// `size` bytes aligned for any object of at most 16-byte alignment; throws
// std::bad_alloc when there is no memory.
BASE_EXPORT void* allocateObjectMemory(std::size_t size);
// Gives back a block of allocateObjectMemory of that size.
BASE_EXPORT void freeObjectMemory(void* block, std::size_t size) noexcept;

template <class T>
struct ObjectAllocator {
    using value_type = T;

    ObjectAllocator() noexcept = default;
    template <class U>
    ObjectAllocator(const ObjectAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        static_assert(alignof(T) <= 16, "object memory is aligned to 16 bytes");
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocateObjectMemory(n * sizeof(T)));
    }
    void deallocate(T* block, std::size_t n) noexcept { freeObjectMemory(block, n * sizeof(T)); }

    template <class U>
    bool operator==(const ObjectAllocator<U>&) const noexcept {
        return true;
    }
};

// A new T, held by a reference, in object memory.
template <class T, class... Arguments>
std::shared_ptr<T> makeObject(Arguments&&... arguments) {
    return std::allocate_shared<T>(ObjectAllocator<T>{}, std::forward<Arguments>(arguments)...);
}

}  // namespace base
