#include "Checksum.h"

#include "Buffers.h"
#include "app/TextTable.h"

#include <algorithm>
#include <cstdio>
#include <zlib.h>

namespace korvat {

std::uint32_t crc32Of(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint32_t>(crc32_z(crc32_z(0, nullptr, 0), bytes.data(), bytes.size()));
}

std::string checksumText(std::span<const std::uint8_t> flash, std::int64_t loadedLength) {
    if (loadedLength <= 0)
        return {};
    const auto n = std::min<std::uint64_t>(static_cast<std::uint64_t>(loadedLength), flash.size());
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(crc32Of(flash.first(n))));
    return digits;
}

std::string checksumToolTip(std::int64_t loadedLength, int language) {
    if (loadedLength <= 0)
        return {};
    std::string tip(text(txtChecksumTip, language));
    const auto at = tip.find("%X");
    const auto last =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(loadedLength), kFlashBufferSize) - 1;
    return tip.replace(at, 2, hexText(last));
}

} // namespace korvat
