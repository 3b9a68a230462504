#include "SerialNumbers.h"

#include <limits>

namespace korvat {

std::string serialBytes(std::uint64_t number, const SerialNumbers &serial) {
    std::string out(static_cast<std::size_t>(serial.bytes), '\0');
    if (serial.format == "ascii") {
        std::string digits = std::to_string(number);
        if (digits.size() < out.size())
            digits.insert(0, out.size() - digits.size(), '0');
        return digits.substr(digits.size() - out.size()); // the low digits when too long
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t shift = 8 * (serial.format == "be" ? out.size() - 1 - i : i);
        out[i] = shift < 64 ? static_cast<char>(number >> shift) : '\0';
    }
    return out;
}

std::optional<std::uint64_t> serialNumberAfter(std::uint64_t passes, const SerialNumbers &serial) {
    constexpr auto kMost = std::numeric_limits<std::uint64_t>::max();
    if (serial.step != 0 && passes > (kMost - serial.start) / serial.step)
        return std::nullopt;
    const std::uint64_t number = serial.start + serial.step * passes;
    const auto width = static_cast<std::size_t>(serial.bytes);
    const bool fits = serial.format == "ascii" ? std::to_string(number).size() <= width
                                               : width >= 8 || number >> (8 * width) == 0;
    return fits ? std::optional(number) : std::nullopt;
}

} // namespace korvat
