#include "ChipRecord.h"

#include <cstring>

namespace korvat {

std::string_view ChipRecord::storedName() const {
    const void *zero = std::memchr(nameText, 0, kNameTextSize);
    const std::size_t n =
        zero ? static_cast<std::size_t>(static_cast<const char *>(zero) - nameText) : kNameTextSize;
    return {nameText, n};
}

bool sameBufferLayout(const ChipRecord &a, const ChipRecord &b) {
    return a.capacity == b.capacity && a.eepromSize == b.eepromSize && a.family == b.family;
}

} // namespace korvat
