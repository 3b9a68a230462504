#include "link/CommandBlock.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace korvat;

namespace {

ChipRecord chip() {
    ChipRecord r;
    std::memset(&r, 0xAA, sizeof r); // fields not sent must not leak into the block
    r.family = 0;
    r.algorithm = 0x81;
    r.flashPage = 256;
    r.delay = 0x0203;
    r.capacity = 0x00080000;
    r.chipId = 0xEF4017;
    r.voltage = 1;
    return r;
}

CommandBlock bytes(std::initializer_list<std::pair<int, int>> set) {
    CommandBlock b{};
    for (auto [at, v] : set)
        b[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(v);
    return b;
}

} // namespace

TEST(CommandBlock, ChipParameterBlockIsByteExact) {
    const CommandBlock expected = bytes({{1, 7},
                                         {2, 0},
                                         {3, 0x81},
                                         {4, 0x00},
                                         {5, 0x01},
                                         {6, 0x03},
                                         {7, 0x02},
                                         {8, 0x00},
                                         {9, 0x00},
                                         {10, 0x08},
                                         {11, 0x00},
                                         {12, 0x17},
                                         {13, 0x40},
                                         {14, 0xEF},
                                         {15, 0x00},
                                         {16, 0x34},
                                         {28, 1}});
    EXPECT_EQ(setupBlock(chip(), 0x1234), expected); // only the speed's low byte travels
    CommandBlock id = expected;
    id[1] = 9;
    EXPECT_EQ(readIdBlock(chip(), 0x1234), id);
}

TEST(CommandBlock, FixedCommands) {
    EXPECT_EQ(endBlock(), bytes({{0, 1}, {1, 8}}));
    EXPECT_EQ(getInfoBlock(), bytes({{1, 12}}));
    EXPECT_EQ(enterBootBlock(), bytes({{1, 13}}));
    EXPECT_EQ(addressBlock(0x12345678),
              bytes({{1, 5}, {8, 0x78}, {9, 0x56}, {10, 0x34}, {11, 0x12}}));
    EXPECT_EQ(eraseBlock(kWholeChipErase), bytes({{0, 1}, {1, 2}, {26, 0x00}, {27, 0x80}}));
    EXPECT_EQ(eraseBlock(0x1234), bytes({{0, 1}, {1, 2}, {26, 0x34}, {27, 0x12}}));
    EXPECT_EQ(enter4ByteBlock(), bytes({{1, 11}, {2, 3}, {3, 1}, {4, 0xB7}}));

    // Written into a shared block, the information and restart commands set bytes 0 and
    // 1 only: what an earlier reply left stays.
    CommandBlock shared;
    shared.fill(0x5A);
    makeGetInfo(shared);
    CommandBlock expected = shared;
    expected[0] = 0;
    expected[1] = 12;
    EXPECT_EQ(shared, expected);
    makeEnterBoot(shared);
    expected[1] = 13;
    EXPECT_EQ(shared, expected);
}

TEST(CommandBlock, PollRewritesOnlyItsFirstTwoBytes) {
    CommandBlock b = eraseBlock(kWholeChipErase);
    b[5] = 0x55; // as a previous reply may have left it
    makePoll(b);
    CommandBlock expected = bytes({{0, 0}, {1, 10}, {5, 0x55}, {26, 0x00}, {27, 0x80}});
    EXPECT_EQ(b, expected);
    b[0] = 0x03;
    EXPECT_TRUE(pollBusy(b));
    b[0] = 0x02;
    EXPECT_FALSE(pollBusy(b));
}

TEST(CommandBlock, SpiPassThroughCarriesAtMostWhatFits) {
    std::uint8_t many[70];
    for (int i = 0; i < 70; ++i)
        many[i] = static_cast<std::uint8_t>(i + 1);
    const CommandBlock b = spiTransferBlock(many);
    EXPECT_EQ(b[3], 60);
    EXPECT_EQ(b[4], 1);
    EXPECT_EQ(b[63], 60);
}

TEST(CommandBlock, TransferSizeAndAddressingMode) {
    ChipRecord r = chip();
    for (auto [page, size] :
         {std::pair{1, 64}, {16, 64}, {64, 64}, {128, 128}, {256, 256}, {512, 512}}) {
        r.flashPage = static_cast<std::uint16_t>(page);
        EXPECT_EQ(transferSize(r), static_cast<std::uint32_t>(size));
    }
    r.capacity = 0x1000000;
    EXPECT_FALSE(needs4ByteAddressing(r));
    r.capacity = 0x1000001;
    EXPECT_TRUE(needs4ByteAddressing(r));
}
