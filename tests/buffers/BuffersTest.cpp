#include "buffers/Buffers.h"
#include "../ops/RecordingHost.h"
#include "buffers/Fill.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace korvat;
using namespace korvat::test;
using Bytes = std::vector<std::uint8_t>;

namespace {

class BuffersTest : public ::testing::Test {
protected:
    Buffers buffers;
    RecordingView flashView, eepromView;
    ChipRecord chip{};

    void SetUp() override {
        std::memset(&chip, 0, sizeof chip);
        chip.capacity = 0x100000;
        chip.eepromSize = 512;
    }
    std::optional<std::string> fill(FillKind kind, std::string start, std::string end,
                                    std::string word = "1234", std::uint32_t seed = 0) {
        FillRequest r;
        r.kind = kind;
        r.byteText = "A5";
        r.wordText = word;
        r.startText = start;
        r.endText = end;
        return fillFlash(buffers, flashView, r, seed, 2);
    }
    Bytes flash(std::size_t from, std::size_t n) {
        return Bytes(buffers.flash().begin() + from, buffers.flash().begin() + from + n);
    }
};

} // namespace

TEST_F(BuffersTest, FreshBuffersAreErased) {
    EXPECT_EQ(buffers.flash().size(), 0x4000000u);
    EXPECT_EQ(buffers.eeprom().size(), 8192u);
    EXPECT_EQ(buffers.flash()[0x3FFFFFF], 0xFF);
    EXPECT_EQ(buffers.eeprom()[8191], 0xFF);
    EXPECT_EQ(buffers.loadedLength, 0);
}

TEST_F(BuffersTest, ChipSelectionResetsTheFlashBufferAndTheViews) {
    buffers.flash()[5] = 0;
    buffers.eeprom()[5] = 0;
    buffers.loadedLength = 77;
    EXPECT_EQ(buffers.resetForChip(chip, flashView, eepromView), "FFFFF");
    EXPECT_EQ(buffers.flash()[5], 0xFF);
    EXPECT_EQ(buffers.eeprom()[5], 0); // the EEPROM buffer is left as it is
    EXPECT_EQ(buffers.loadedLength, 0);
    EXPECT_EQ(buffers.range.end, 0xFFFFF); // the last address, whatever the edit's text
    EXPECT_EQ(flashView.bytes.size(), 0x100000u);
    EXPECT_EQ(eepromView.bytes.size(), 512u);

    chip.capacity = 0;      // an empty catalogue
    chip.eepromSize = 9000; // more than the EEPROM buffer holds
    EXPECT_EQ(buffers.resetForChip(chip, flashView, eepromView), "FFFFFFFF");
    EXPECT_TRUE(flashView.bytes.empty());
    EXPECT_EQ(eepromView.bytes.size(), 8192u);
}

TEST_F(BuffersTest, AddressEditsReadHexadecimal) {
    std::int64_t a = 7;
    EXPECT_FALSE(setAddressFromText(a, ""));
    EXPECT_EQ(a, 7);
    EXPECT_FALSE(setAddressFromText(a, "1F0"));
    EXPECT_EQ(a, 0x1F0);
    EXPECT_EQ(setAddressFromText(a, "G1"), "'0xG1' is not a valid integer value");
    EXPECT_EQ(a, 0x1F0);
}

TEST_F(BuffersTest, PulledEditsStopAtTheCapacity) {
    flashView.bytes = Bytes(0x100010, 0x11);
    buffers.pullViewEdits(flashView, chip); // not modified: nothing
    EXPECT_EQ(buffers.loadedLength, 0);
    flashView.changed = true;
    buffers.pullViewEdits(flashView, chip);
    EXPECT_EQ(buffers.loadedLength, 0x100000);
    EXPECT_EQ(buffers.flash()[0xFFFFF], 0x11);
    EXPECT_EQ(buffers.flash()[0x100000], 0xFF);
    EXPECT_FALSE(flashView.changed);
}

TEST_F(BuffersTest, ConstantFills) {
    EXPECT_FALSE(fill(FillKind::Byte, "10", "13"));
    EXPECT_EQ(flash(0xF, 6), (Bytes{0xFF, 0xA5, 0xA5, 0xA5, 0xA5, 0xFF}));
    EXPECT_EQ(buffers.loadedLength, 0x14);
    EXPECT_EQ(flashView.bytes.size(), 0x14u);

    EXPECT_FALSE(fill(FillKind::Word, "0", "3"));
    EXPECT_EQ(flash(0, 5), (Bytes{0x34, 0x12, 0x34, 0x12, 0xFF}));
    buffers.flash()[4] = 0x99;
    EXPECT_FALSE(fill(FillKind::Word, "1", "4", "ABCD"));
    EXPECT_EQ(flash(0, 5), (Bytes{0xCD, 0xAB, 0xCD, 0xAB, 0x99}));
    EXPECT_EQ(buffers.loadedLength, 5);

    EXPECT_FALSE(fill(FillKind::Byte, "100", "1FF"));
    EXPECT_EQ(buffers.loadedLength, 0x200);
    EXPECT_EQ(flashView.bytes.size(), 0x200u);
}

TEST_F(BuffersTest, RandomFillFollowsTheGenerator) {
    FillRandom r(12345);
    EXPECT_EQ(r.next(), 24996);
    EXPECT_EQ(r.next(), 10921);
    EXPECT_EQ(r.next(), 23577);
    EXPECT_FALSE(fill(FillKind::Random, "0", "2", "0", 12345));
    EXPECT_EQ(flash(0, 3), (Bytes{24996 & 0xFF, 10921 & 0xFF, 23577 & 0xFF}));
}

TEST_F(BuffersTest, FillsThatCannotBeDoneWriteNothing) {
    EXPECT_EQ(fill(FillKind::Byte, "10", "F"), "The end address is before the start address.");
    EXPECT_EQ(fill(FillKind::Byte, "3FFFFFF", "4000000"),
              "The address range reaches past the buffer.");
    EXPECT_EQ(fill(FillKind::Byte, "", "10"), "'0x' is not a valid integer value");
    EXPECT_EQ(fill(FillKind::Word, "0", "10", "12 4"), "'0x12 4' is not a valid integer value");
    EXPECT_EQ(buffers.flash()[0x10], 0xFF);
    EXPECT_EQ(buffers.flash()[0x3FFFFFF], 0xFF);
    EXPECT_EQ(buffers.loadedLength, 0);
    EXPECT_EQ(flashView.loads, 0);

    EXPECT_FALSE(fill(FillKind::Byte, "3FFFFFF", "3FFFFFF")); // the last byte is fine
    EXPECT_EQ(buffers.flash()[0x3FFFFFF], 0xA5);
}
