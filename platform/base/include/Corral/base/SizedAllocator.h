#pragma once
// A standard allocator over a pair of functions that take and give back
// blocks whose size the caller remembers, aligned to 16 bytes.

#include <cstddef>
#include <new>

namespace base {

template <class T, void* (*take)(std::size_t), void (*giveBack)(void*, std::size_t) noexcept>
struct SizedAllocator {
    using value_type = T;
    template <class U>
    struct rebind {
        using other = SizedAllocator<U, take, giveBack>;
    };

    SizedAllocator() noexcept = default;
    template <class U>
    SizedAllocator(const SizedAllocator<U, take, giveBack>&) noexcept {}

    T* allocate(std::size_t n) {
        static_assert(alignof(T) <= 16, "blocks are aligned to 16 bytes");
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(take(n * sizeof(T)));
    }
    void deallocate(T* block, std::size_t n) noexcept { giveBack(block, n * sizeof(T)); }

    template <class U>
    bool operator==(const SizedAllocator<U, take, giveBack>&) const noexcept {
        return true;
    }
};

}  // namespace base
