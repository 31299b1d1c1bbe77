#pragma once
// Memory for large arrays that are filled once, front to back. The system
// hands out fresh memory a small page at a time, each on its first touch;
// for an array of tens of megabytes those first touches can cost more than
// filling it. A large block is asked for in large pages instead, where the
// system has them, so one touch brings in two megabytes.

#include <cstddef>
#include <new>

#include "Corral/base/BaseExport.h"

namespace base {

// Blocks of at least this size, one large page, are mapped in large pages;
// smaller ones come from the general heap.
inline constexpr std::size_t largeMemoryThreshold = std::size_t{2} << 20;

// `size` bytes aligned for any object; throws std::bad_alloc when there is
// no memory. A large block comes zeroed.
BASE_EXPORT void* allocateLargeMemory(std::size_t size);
// Gives back a block of allocateLargeMemory of that size.
BASE_EXPORT void freeLargeMemory(void* block, std::size_t size) noexcept;

template <class T>
struct LargeAllocator {
    using value_type = T;

    LargeAllocator() noexcept = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        static_assert(alignof(T) <= alignof(std::max_align_t));
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocateLargeMemory(n * sizeof(T)));
    }
    void deallocate(T* block, std::size_t n) noexcept { freeLargeMemory(block, n * sizeof(T)); }

    template <class U>
    bool operator==(const LargeAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace base
