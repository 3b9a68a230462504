#pragma once
// Hexadecimal digits of the text codecs: read in either letter case, written in upper
// case, by table so that no per-byte branch or call is needed.

#include <array>
#include <cstdint>
#include <cstring>
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
inline std::optional<std::uint32_t> parse(std::string_view line, std::size_t at,
                                          std::size_t count) {
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

// The two digits of every byte value, so that a byte is written with one copy.
constexpr std::array<std::array<char, 2>, 256> kPairs = [] {
    std::array<std::array<char, 2>, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = {kDigits[b >> 4], kDigits[b & 0xF]};
    return t;
}();

inline char *putByte(char *out, std::uint8_t b) {
    std::memcpy(out, kPairs[b].data(), 2);
    return out + 2;
}

// The byte value of every pair of characters (first character in the high half of the
// index), or -1 when either is not a digit: one lookup per byte when decoding.
inline const std::array<std::int16_t, 65536> kPairValue = [] {
    std::array<std::int16_t, 65536> t{};
    for (int i = 0; i < 65536; ++i) {
        const int hi = kDigitValue[i >> 8], lo = kDigitValue[i & 0xFF];
        t[i] = static_cast<std::int16_t>(hi < 0 || lo < 0 ? -1 : (hi << 4) | lo);
    }
    return t;
}();

// Decodes count bytes from 2 * count digits at text into out and adds them to sum.
// False when any character is not a digit; out and sum must then not be used.
inline bool decodeBytes(const char *text, std::size_t count, std::uint8_t *out,
                        std::uint32_t &sum) {
    int bad = 0;
    std::uint32_t s = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto *p = reinterpret_cast<const unsigned char *>(text + 2 * i);
        const int v = kPairValue[(p[0] << 8) | p[1]];
        bad |= v;
        out[i] = static_cast<std::uint8_t>(v);
        s += static_cast<std::uint8_t>(v);
    }
    sum += s;
    return bad >= 0;
}

} // namespace korvat::hex
