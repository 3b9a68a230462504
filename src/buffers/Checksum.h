#pragma once
// The buffer checksum the status bar shows: the CRC-32 that other tools print (zlib's)
// of the chip's whole image, the current chip's capacity bytes of the FLASH buffer, so
// it is the figure `crc32` prints for the image saved as a raw file.

#include <cstdint>
#include <span>
#include <string>

namespace korvat {

std::uint32_t crc32Of(std::span<const std::uint8_t> bytes);

// "CRC32 " and eight upper-case hexadecimal digits of the CRC-32 of bytes 0 to
// imageSize - 1 of the buffer (cut to the buffer); empty for an image of 0 bytes.
std::string checksumText(std::span<const std::uint8_t> flash, std::uint64_t imageSize);

// What the checksum covers, for its tool tip; empty for an image of 0 bytes.
std::string checksumToolTip(std::uint64_t imageSize, int language);

} // namespace korvat
