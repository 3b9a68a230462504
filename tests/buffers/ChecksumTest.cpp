#include "buffers/Checksum.h"
#include "base/TextTable.h"

#include <gtest/gtest.h>
#include <string_view>
#include <vector>

using namespace korvat;

namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

} // namespace

TEST(Checksum, IsTheCrc32OtherToolsPrint) {
    // The standard check value of CRC-32 and the one of an empty input.
    EXPECT_EQ(crc32Of(bytesOf("123456789")), 0xCBF43926u);
    EXPECT_EQ(crc32Of({}), 0u);
    const std::vector<std::uint8_t> erased(4096, 0xFF);
    EXPECT_EQ(crc32Of(erased), 0xF154670Au); // an erased 4 KiB sector
}

// The figure is labelled and covers the image's bytes, whatever they hold: an erased
// tail counts as it does in the saved file.
TEST(Checksum, CoversTheWholeImage) {
    std::vector<std::uint8_t> flash = bytesOf("123456789abc");
    EXPECT_EQ(checksumText(flash, 0), "");
    EXPECT_EQ(checksumText(flash, 9), "CRC32 CBF43926");
    EXPECT_EQ(checksumText(flash, 1), "CRC32 83DCEFB7"); // "1": eight digits, upper case
    flash[9] = 'X';                                      // past the image: no change
    EXPECT_EQ(checksumText(flash, 9), "CRC32 CBF43926");
    EXPECT_EQ(checksumText(flash, 1 << 30), checksumText(flash, 12)); // cut to the buffer
    const std::vector<std::uint8_t> erased(4096, 0xFF);
    EXPECT_EQ(checksumText(erased, 4096), "CRC32 F154670A");

    EXPECT_EQ(checksumToolTip(0, 2), "");
    EXPECT_EQ(checksumToolTip(0x180, 2),
              "CRC-32 of the chip's whole image: FLASH buffer bytes 0 to 17Fh");
    EXPECT_EQ(checksumToolTip(0x180, 0), "芯片完整映像（FLASH 缓冲区 0 至 17Fh 字节）的 CRC-32");
}
