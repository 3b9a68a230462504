#include "ChipRecord.h"

#include <cstring>

namespace korvat {

std::string_view ChipRecord::storedName() const {
    const void *zero = std::memchr(nameText, 0, kNameTextSize);
    const std::size_t n =
        zero ? static_cast<std::size_t>(static_cast<const char *>(zero) - nameText) : kNameTextSize;
    return {nameText, n};
}

bool sameChip(const ChipRecord &a, const ChipRecord &b) {
    constexpr std::size_t fields = offsetof(ChipRecord, chipId);
    return a.storedName() == b.storedName() &&
           std::memcmp(reinterpret_cast<const char *>(&a) + fields,
                       reinterpret_cast<const char *>(&b) + fields, sizeof a - fields) == 0;
}

} // namespace korvat
