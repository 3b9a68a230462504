#include "Checksum.h"

#include "Buffers.h"
#include "base/HexText.h"
#include "base/TextTable.h"

#include <algorithm>
#include <zlib.h>

namespace korvat {

std::uint32_t crc32Of(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint32_t>(crc32_z(crc32_z(0, nullptr, 0), bytes.data(), bytes.size()));
}

std::string checksumText(std::span<const std::uint8_t> flash, std::uint64_t imageSize) {
    if (imageSize == 0)
        return {};
    const auto n = std::min<std::uint64_t>(imageSize, flash.size());
    return "CRC32 " + hexText(crc32Of(flash.first(n)), 8);
}

std::string checksumToolTip(std::uint64_t imageSize, int language) {
    if (imageSize == 0)
        return {};
    std::string tip(text(txtChecksumTip, language));
    const auto at = tip.find("%X");
    const auto last = std::min<std::uint64_t>(imageSize, kFlashBufferSize) - 1;
    return tip.replace(at, 2, hexText(last));
}

} // namespace korvat
