#include "Numbers.h"

#include <cstdio>

namespace korvat::cli {
namespace {

constexpr std::string_view kHexDigits = "0123456789abcdefABCDEF";

bool hasHexPrefix(std::string_view text) {
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// The digits' value in the base, or nothing past largest.
std::optional<std::uint64_t> valueOf(std::string_view digits, unsigned base,
                                     std::uint64_t largest) {
    std::uint64_t value = 0;
    for (const char c : digits) {
        const unsigned digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        if (digit > largest || value > (largest - digit) / base)
            return std::nullopt;
        value = value * base + digit;
    }
    return value;
}

std::string tooLarge(std::string_view text, std::uint64_t largest, bool hex) {
    if (largest == std::numeric_limits<std::uint64_t>::max())
        return quoted(text) + " is larger than 64 bits";
    char limit[24];
    std::snprintf(limit, sizeof limit, hex ? "0x%llX" : "%llu",
                  static_cast<unsigned long long>(largest));
    return quoted(text) + " is larger than " + limit;
}

// What an address of --range is, with its name (START or END) before any mistake.
std::optional<std::uint32_t> rangeAddress(std::string_view name, std::string_view text,
                                          std::string_view where, std::string &error) {
    if (text.empty()) {
        error = std::string(name) + " is missing " + std::string(where) +
                " the ':': give START:END, such as 0:FFFF";
        return std::nullopt;
    }
    const NumberText read = readHex(text, 0xFFFFFFFF);
    if (!read.value)
        error = std::string(name) + " " + read.error;
    return read.value;
}

} // namespace

NumberText readNumber(std::string_view text, std::uint64_t largest) {
    const bool hex = hasHexPrefix(text);
    const std::string_view digits = hex ? text.substr(2) : text;
    const std::string_view allowed = hex ? kHexDigits : kHexDigits.substr(0, 10);
    if (digits.empty() || digits.find_first_not_of(allowed) != std::string_view::npos)
        return {std::nullopt, quoted(text) + " must be decimal digits, or hexadecimal digits "
                                             "after 0x"};
    const auto value = valueOf(digits, hex ? 16 : 10, largest);
    if (!value)
        return {std::nullopt, tooLarge(text, largest, hex)};
    return {value, {}};
}

NumberText readHex(std::string_view text, std::uint64_t largest) {
    const std::string_view digits = hasHexPrefix(text) ? text.substr(2) : text;
    if (digits.empty())
        return {std::nullopt, quoted(text) + " has no hexadecimal digits"};
    if (digits.find_first_not_of(kHexDigits) != std::string_view::npos)
        return {std::nullopt, quoted(text) + " is not hexadecimal: digits 0 to 9 and A to F, "
                                             "with or without 0x"};
    const auto value = valueOf(digits, 16, largest);
    if (!value)
        return {std::nullopt, tooLarge(text, largest, true)};
    return {value, {}};
}

RangeText readRange(std::string_view text) {
    RangeText range;
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos) {
        range.error = quoted(text) + " is not START:END (such as 0:FFFF, END the range's last "
                                     "address)";
        return range;
    }
    if (text.size() == 1) {
        range.error = "START and END are missing: give START:END, such as 0:FFFF";
        return range;
    }
    const auto start = rangeAddress("START", text.substr(0, colon), "before", range.error);
    if (!start)
        return range;
    const auto end = rangeAddress("END", text.substr(colon + 1), "after", range.error);
    if (!end)
        return range;
    if (*end < *start) {
        range.error = "END " + std::string(text.substr(colon + 1)) + " is before START " +
                      std::string(text.substr(0, colon)) +
                      ": the range would be empty (END is its last address)";
        return range;
    }
    range.start = *start;
    range.end = *end;
    return range;
}

} // namespace korvat::cli
