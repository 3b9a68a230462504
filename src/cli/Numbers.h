#pragma once
// The numbers of korvat-cli's options, read one way: decimal digits, or hexadecimal ones
// after 0x. A --range is the exception the window's address edits set: its addresses are
// hexadecimal with or without 0x. Every mistake is told in words.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace korvat::cli {

// A number read from an option, or why the text is none.
struct NumberText {
    std::optional<std::uint64_t> value;
    std::string error; // when there is no value: what is wrong, in words
};

// Decimal digits, or hexadecimal digits after 0x (or 0X), at most largest. A leading
// zero does not make the number octal, and a sign is refused rather than wrapped around.
NumberText readNumber(std::string_view text,
                      std::uint64_t largest = std::numeric_limits<std::uint64_t>::max());

// Hexadecimal digits, with or without 0x, at most largest.
NumberText readHex(std::string_view text, std::uint64_t largest);

// A --range: START:END, END the last address covered, both hexadecimal with or without
// 0x, END not before START.
struct RangeText {
    std::uint32_t start = 0, end = 0;
    std::string error; // empty when the text is a range
};
RangeText readRange(std::string_view text);

// The rule, for --help.
constexpr const char *kNumbersHelp =
    "Numbers are decimal, or hexadecimal after 0x; the addresses of --range are\n"
    "hexadecimal with or without 0x, as in the window's address edits.";

} // namespace korvat::cli
