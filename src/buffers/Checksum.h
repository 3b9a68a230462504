#pragma once
// The buffer checksum the status bar shows: the CRC-32 that other tools print (zlib's)
// of the FLASH buffer's loaded bytes, so an image can be compared with its source.

#include <cstdint>
#include <span>
#include <string>

namespace korvat {

std::uint32_t crc32Of(std::span<const std::uint8_t> bytes);

// Eight upper-case hexadecimal digits of the CRC-32 of bytes 0 to loadedLength - 1 of
// the buffer (cut to the buffer); empty while the loaded length is 0.
std::string checksumText(std::span<const std::uint8_t> flash, std::int64_t loadedLength);

// What the checksum covers, for its tool tip; empty while the loaded length is 0.
std::string checksumToolTip(std::int64_t loadedLength, int language);

} // namespace korvat
