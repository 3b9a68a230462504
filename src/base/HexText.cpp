#include "HexText.h"

#include <algorithm>
#include <cstdio>

namespace korvat {

std::string hexText(std::uint64_t value, int width) {
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%0*llX", std::clamp(width, 1, 20),
                                static_cast<unsigned long long>(value));
    return {text, static_cast<std::size_t>(n)};
}

} // namespace korvat
