#pragma once
// Serial numbers written into each chip's image on a production line.

#include <cstdint>
#include <optional>
#include <string>

namespace korvat {

struct SerialNumbers {
    std::uint32_t address = 0; // where in the image
    std::uint64_t start = 0;   // the first chip's number
    std::uint64_t step = 1;    // added for each chip after it
    int bytes = 4;             // how many bytes it takes
    std::string format = "le"; // le, be (binary) or ascii (decimal digits, zero-padded)
};

// The serial number's bytes as they go into the image: little- or big-endian binary
// (the low bytes when it is wider), or decimal digits padded with zeros (the low digits
// when it is longer).
std::string serialBytes(std::uint64_t number, const SerialNumbers &serial);

// The serial number of the chip after `passes` others, or nothing when it no longer
// fits its bytes (or 64 bits): a line must not give two chips the same number.
std::optional<std::uint64_t> serialNumberAfter(std::uint64_t passes, const SerialNumbers &serial);

} // namespace korvat
