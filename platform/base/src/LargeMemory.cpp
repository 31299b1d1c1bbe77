#include "Corral/base/LargeMemory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace base {

namespace {

constexpr std::size_t largePage = std::size_t{2} << 20;
constexpr std::size_t smallPage = 4096;

std::size_t roundUp(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

}  // namespace

void* allocateLargeMemory(std::size_t size) {
    if (size < largeMemoryThreshold) {
        if (void* block = std::malloc(size ? size : 1)) return block;
        throw std::bad_alloc();
    }
    // Mapped with room to start on a large page, and trimmed to it.
    std::size_t length = roundUp(size, smallPage);
    if (length > static_cast<std::size_t>(-1) - largePage) throw std::bad_alloc();
    void* mapped = ::mmap(nullptr, length + largePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    auto start = reinterpret_cast<std::uintptr_t>(mapped);
    auto aligned = roundUp(start, largePage);
    if (aligned > start) ::munmap(mapped, aligned - start);
    if (std::size_t after = largePage - (aligned - start); after > 0)
        ::munmap(reinterpret_cast<void*>(aligned + length), after);
    // Only advice: without large pages the block works the same.
    ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void freeLargeMemory(void* block, std::size_t size) noexcept {
    if (size < largeMemoryThreshold) {
        std::free(block);
        return;
    }
    ::munmap(block, roundUp(size, smallPage));
}

}  // namespace base
