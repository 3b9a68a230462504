#pragma once
// Memory for the large buffers (the 64 MiB FLASH buffer and the copy a file is staged
// in): mapped directly and, where the system offers it, backed by huge pages, so
// filling it costs a few hundred page faults instead of tens of thousands.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace korvat {

struct LargeBlockRelease {
    std::size_t size = 0;
    void operator()(std::uint8_t *block) const;
};

using LargeBlock = std::unique_ptr<std::uint8_t[], LargeBlockRelease>;

// A block of size bytes (contents undefined), or an empty one when there is no memory.
LargeBlock allocateLargeBlock(std::size_t size);

} // namespace korvat
