#pragma once
// A stretch of chip addresses.

#include <cstdint>
#include <vector>

namespace korvat {

// Chip addresses [start, end); the buffer's data lies at the same addresses.
struct Bounds {
    std::uint32_t start;
    std::uint32_t end;
    friend bool operator==(const Bounds &, const Bounds &) = default;
};

// Sorts the stretches and merges those that overlap or touch.
void mergeBounds(std::vector<Bounds> &bounds);

} // namespace korvat
