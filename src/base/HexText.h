#pragma once
// Upper-case hexadecimal text, as addresses, chip IDs and checksums are shown everywhere.

#include <cstdint>
#include <string>

namespace korvat {

// The value in upper-case hexadecimal digits, with leading zeros to at least width of
// them ("%0*X"); the default width gives none ("%X").
std::string hexText(std::uint64_t value, int width = 1);

} // namespace korvat
