#pragma once
// Hexadecimal digits of the text codecs: read in either letter case, written in upper
// case, by table so that no per-byte branch or call is needed.

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The byte value of every pair of characters, indexed by the pair as a little-endian
// 16-bit load (first character in the low half), or -1 when either is not a digit:
// one load and one lookup per byte when decoding.
inline const std::array<std::int16_t, 65536> kPairValue = [] {
    std::array<std::int16_t, 65536> t{};
    for (int i = 0; i < 65536; ++i) {
        const int hi = kDigitValue[i & 0xFF], lo = kDigitValue[i >> 8];
        t[i] = static_cast<std::int16_t>(hi < 0 || lo < 0 ? -1 : (hi << 4) | lo);
    }
    return t;
}();

inline int pairValue(const char *p) {
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return kPairValue[u[0] | (u[1] << 8)];
}

#if defined(__SSE2__)
// Sixteen digits to eight bytes, added to the running byte sums in acc; false when a
// character is not a digit.
inline bool decode16(const char *text, std::uint8_t *out, __m128i &acc) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text));
    const __m128i lower = _mm_or_si128(v, _mm_set1_epi8(0x20));
    const __m128i isDigit = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)),
                                          _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)));
    const __m128i isLetter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                           _mm_cmplt_epi8(lower, _mm_set1_epi8('f' + 1)));
    if (_mm_movemask_epi8(_mm_or_si128(isDigit, isLetter)) != 0xFFFF)
        return false;
    const __m128i value =
        _mm_or_si128(_mm_and_si128(isDigit, _mm_sub_epi8(v, _mm_set1_epi8('0'))),
                     _mm_and_si128(isLetter, _mm_sub_epi8(lower, _mm_set1_epi8('a' - 10))));
    // Each 16-bit lane holds the high digit in its low byte and the low digit above it.
    const __m128i bytes16 = _mm_or_si128(
        _mm_slli_epi16(_mm_and_si128(value, _mm_set1_epi16(0xFF)), 4), _mm_srli_epi16(value, 8));
    const __m128i bytes = _mm_packus_epi16(bytes16, _mm_setzero_si128());
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out), bytes);
    acc = _mm_add_epi64(acc, _mm_sad_epu8(bytes, _mm_setzero_si128()));
    return true;
}
#endif

// Decodes count bytes from 2 * count digits at text into out and adds them to sum.
// False when any character is not a digit; out and sum must then not be used.
inline bool decodeBytes(const char *text, std::size_t count, std::uint8_t *out,
                        std::uint32_t &sum) {
    std::size_t i = 0;
    std::uint32_t s = 0;
#if defined(__SSE2__)
    __m128i acc = _mm_setzero_si128();
    for (; i + 8 <= count; i += 8)
        if (!decode16(text + 2 * i, out + i, acc))
            return false;
    s = static_cast<std::uint32_t>(_mm_cvtsi128_si32(acc));
#endif
    int bad = 0;
    for (; i < count; ++i) {
        const int v = pairValue(text + 2 * i);
        bad |= v;
        out[i] = static_cast<std::uint8_t>(v);
        s += static_cast<std::uint8_t>(v);
    }
    sum += s;
    return bad >= 0;
}

// The value of count digits at position at of the line, most significant first;
// nothing when a character is not a digit or lies past the end of the line.
inline std::optional<std::uint32_t> parse(std::string_view line, std::size_t at,
                                          std::size_t count) {
    if (at + count > line.size())
        return std::nullopt;
    std::uint32_t v = 0;
    std::size_t i = 0;
    int bad = 0;
    for (; i + 2 <= count; i += 2) { // whole pairs first
        const int b = pairValue(line.data() + at + i);
        bad |= b;
        v = (v << 8) | static_cast<std::uint32_t>(b & 0xFF);
    }
    for (; i < count; ++i) {
        const int d = kDigitValue[static_cast<unsigned char>(line[at + i])];
        bad |= d;
        v = (v << 4) | static_cast<std::uint32_t>(d & 0xF);
    }
    if (bad < 0)
        return std::nullopt;
    return v;
}

} // namespace korvat::hex
