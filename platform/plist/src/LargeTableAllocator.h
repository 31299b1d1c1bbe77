#pragma once
// An allocator for the large tables a writer builds (object offsets,
// references, the index of shared values). Those are read and written at
// random places across many megabytes, where small pages cost an address
// translation miss at almost every step: blocks of a few megabytes and more
// are asked to be backed by huge pages where the system offers them. The
// memory comes zero-filled from the system.

#include <sys/mman.h>

#include <cstddef>
#include <new>

namespace base::plist {

template <class T>
class LargeTableAllocator {
public:
    using value_type = T;

    LargeTableAllocator() = default;
    template <class U>
    LargeTableAllocator(const LargeTableAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        if (count > std::size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
        std::size_t bytes = count * sizeof(T);
        if (bytes < large) return static_cast<T*>(::operator new(bytes));
        void* start =
            ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (start == MAP_FAILED) throw std::bad_alloc();
        ::madvise(start, bytes, MADV_HUGEPAGE);  // a hint; refused where unsupported
        return static_cast<T*>(start);
    }

    void deallocate(T* start, std::size_t count) noexcept {
        std::size_t bytes = count * sizeof(T);
        if (bytes < large) return ::operator delete(start);
        ::munmap(start, bytes);
    }

    template <class U>
    bool operator==(const LargeTableAllocator<U>&) const noexcept {
        return true;
    }

private:
    static constexpr std::size_t large = std::size_t{4} << 20;
};

}  // namespace base::plist
