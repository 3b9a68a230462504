#include "LargeBlock.h"

#include <new>
#include <sys/mman.h>

namespace korvat {

// Under the address sanitizer the blocks come from the heap, where it watches their
// edges; a mapping has none it could check.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFromHeap = true;
#else
constexpr bool kFromHeap = false;
#endif

void LargeBlockRelease::operator()(std::uint8_t *block) const {
    if (!block)
        return;
    if (kFromHeap)
        delete[] block;
    else
        munmap(block, size);
}

LargeBlock allocateLargeBlock(std::size_t size) {
    const std::size_t length = size ? size : 1;
    if (kFromHeap)
        return LargeBlock(new (std::nothrow) std::uint8_t[length], LargeBlockRelease{length});
    void *p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return LargeBlock(nullptr, LargeBlockRelease{0});
    madvise(p, length, MADV_HUGEPAGE); // a hint: without huge pages it is plain memory
    return LargeBlock(static_cast<std::uint8_t *>(p), LargeBlockRelease{length});
}

} // namespace korvat
