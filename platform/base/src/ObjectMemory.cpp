#include "Corral/base/ObjectMemory.h"

#if CORRAL_OBJECT_MEMORY_MIMALLOC
#include <mimalloc.h>
#endif

namespace base {

// Builds with sanitizers give every block to the ordinary heap, so that a
// use after release or a leak of an object is still reported.
#if CORRAL_OBJECT_MEMORY_MIMALLOC

namespace {

// Pages that held objects stay with the allocator for the next graph: a graph
// is typically dropped and another of the same size built soon after, and on
// virtual machines giving pages back and faulting them in again costs more
// than building the graph itself.
struct KeepPages {
    KeepPages() { mi_option_set(mi_option_allow_decommit, 0); }
};

}  // namespace

void* allocateObjectMemory(std::size_t size) {
    static const KeepPages keepPages;
    void* block = mi_malloc(size);
    if (!block) throw std::bad_alloc();
    return block;
}

void freeObjectMemory(void* block, std::size_t size) noexcept { mi_free_size(block, size); }

#else

void* allocateObjectMemory(std::size_t size) { return ::operator new(size); }

// Unsized: clang does not declare the sized form without -fsized-deallocation.
void freeObjectMemory(void* block, std::size_t) noexcept { ::operator delete(block); }

#endif

}  // namespace base
