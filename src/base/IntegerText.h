#pragma once
// The integer text rule for numbers typed by the user or kept in grid cells: optional
// leading blanks, an optional sign, then decimal digits, or hexadecimal digits after
// "0x", "x" or "$". Nothing may follow the digits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvat {

// The value, or nothing when the text breaks the rule or the value does not fit in
// 32 bits (signed or unsigned: -2147483648 to 4294967295).
std::optional<std::int64_t> parseInteger(std::string_view text);

// "'%s' is not a valid integer value" for the text.
std::string notAnIntegerMessage(std::string_view text);

} // namespace korvat
