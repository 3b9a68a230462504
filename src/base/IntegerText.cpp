#include "IntegerText.h"

namespace korvat {
namespace {

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

constexpr std::int64_t kMostPositive = 0xFFFFFFFFLL;
constexpr std::int64_t kMostNegative = -0x80000000LL;

} // namespace

std::optional<std::int64_t> parseInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    int base = 10;
    if (text.substr(i, 2) == "0x" || text.substr(i, 2) == "0X") {
        base = 16;
        i += 2;
    } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X' || text[i] == '$')) {
        base = 16;
        ++i;
    }
    if (i == text.size())
        return std::nullopt;

    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0)
            return std::nullopt;
        value = value * base + d;
        if (value > kMostPositive + 1) // keep room for the sign test below
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > kMostPositive || value < kMostNegative)
        return std::nullopt;
    return value;
}

std::string notAnIntegerMessage(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid integer value";
}

} // namespace korvat
