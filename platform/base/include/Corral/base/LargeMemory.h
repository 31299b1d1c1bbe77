#pragma once
// Memory for large arrays that are filled once, front to back. The system
// hands out fresh memory a small page at a time, each on its first touch;
// for an array of tens of megabytes those first touches can cost more than
// filling it. A large block is asked for in large pages instead, where the
// system has them, so one touch brings in two megabytes.

#include <cstddef>

#include "Corral/base/BaseExport.h"
#include "Corral/base/SizedAllocator.h"

namespace base {

// Blocks of at least this size, one large page, are mapped in large pages;
// smaller ones come from the general heap.
inline constexpr std::size_t largeMemoryThreshold = std::size_t{2} << 20;

// `size` bytes aligned to 16 bytes; throws std::bad_alloc when there is
// no memory. A large block comes zeroed.
BASE_EXPORT void* allocateLargeMemory(std::size_t size);
// Gives back a block of allocateLargeMemory of that size.
BASE_EXPORT void freeLargeMemory(void* block, std::size_t size) noexcept;

template <class T>
using LargeAllocator = SizedAllocator<T, allocateLargeMemory, freeLargeMemory>;

}  // namespace base
