#pragma once
// Hexadecimal digits of the text codecs: read in either letter case, written in upper
// case, by table so that no per-byte branch or call is needed.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korvat::hex {

constexpr std::array<std::int8_t, 256> kDigitValue = [] {
    std::array<std::int8_t, 256> t{};
    t.fill(-1);
    for (int c = '0'; c <= '9'; ++c)
        t[c] = static_cast<std::int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        t[c] = t[c + ('a' - 'A')] = static_cast<std::int8_t>(c - 'A' + 10);
    return t;
}();

constexpr char kDigits[] = "0123456789ABCDEF";

// The value of count digits at position at of the line, most significant first;
// nothing when a character is not a digit or lies past the end of the line.
inline std::optional<std::uint32_t> parse(std::string_view line, std::size_t at, std::size_t count) {
    if (at + count > line.size())
        return std::nullopt;
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int8_t d = kDigitValue[static_cast<unsigned char>(line[at + i])];
        if (d < 0)
            return std::nullopt;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
}

// Writes value as count upper-case digits and returns the position after them.
inline char *put(char *out, std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        out[i] = kDigits[value & 0xF];
        value >>= 4;
    }
    return out + count;
}

inline char *putByte(char *out, std::uint8_t b) {
    out[0] = kDigits[b >> 4];
    out[1] = kDigits[b & 0xF];
    return out + 2;
}

} // namespace korvat::hex
