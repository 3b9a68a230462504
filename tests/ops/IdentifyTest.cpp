// What Detect makes of the programmer's answer, over a small catalogue and the real
// selection rules.
#include "ops/Identify.h"
#include "base/TextTable.h"
#include "catalogue/Catalogue.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

using namespace korvat;

namespace {

class IdentifyTest : public ::testing::Test {
protected:
    Catalogue catalogue;
    SelectionLists lists;
    int current = 0;
    std::array<int, 3> positions{};
    std::vector<std::array<int, 3>> calls; // the window's selectChip calls, in order

    void SetUp() override {
        const std::pair<const char *, std::uint32_t> chips[] = {
            {"25_SPI_FLASH,Winbond,W25Q64FV", 0xEF4017},
            {"25_SPI_FLASH,Winbond,W25Q80", 0xEF4014},
            {"25_SPI_FLASH,GigaDevice,GD25Q64", 0xC84017},
            {"24_EEPROM,Atmel,AT24C02", 0},
            {"93_EEPROM,Atmel,AT93C46", 0},
            {"25_SPI_FLASH,Winbond,W25Q64JV", 0xEF4017},
            {"25_SPI_FLASH,GigaDevice,W25Q64JV", 0xEF4017}, // another maker's model
            {"25_SPI_FLASH,WINBOND,W25Q64FV", 0xEF4017},    // the found chip again
            {"25_SPI_FLASH,Winbond,W25Q64JW", 0xEF4017},
        };
        int slot = 0;
        for (auto [name, id] : chips) {
            ChipRecord &r = catalogue.slot(slot++);
            std::strcpy(r.nameText, name);
            r.chipId = id;
            r.capacity = 0x10000;
        }
        // Past the end record: never found.
        std::strcpy(catalogue.slot(slot + 1).nameText, "25_SPI_FLASH,Ghost,G1");
        catalogue.slot(slot + 1).chipId = 0x123456;
        select(0, 0, 0);
        calls.clear();
    }
    void select(int type, int maker, int model) {
        calls.push_back({type, maker, model});
        korvat::selectChip(catalogue, lists, current, type, maker, model);
        positions = {type, maker, model};
    }
    Detection detect(std::array<std::uint8_t, 4> reply,
                     ChipIdentity::Reach reach = ChipIdentity::Reach::Answered) {
        return identifyChip({reach, reply}, catalogue,
                            {lists, positions, [this](int t, int m, int n) { select(t, m, n); }},
                            2);
    }
};

} // namespace

TEST_F(IdentifyTest, ChipWithAnIdIsSelectedInThreeSteps) {
    const Detection d = detect({1, 0xC8, 0x40, 0x17});
    EXPECT_EQ(d.picture, SocketShown::Chip);
    EXPECT_FALSE(d.error);
    EXPECT_EQ(d.message, "The chip was detected:GD25Q64\n\n Chip type25_SPI_FLASH");
    EXPECT_EQ(calls, (std::vector<std::array<int, 3>>{{0, 0, 0}, {0, 1, 0}, {0, 1, 0}}));
    EXPECT_EQ(catalogue.name(current), "25_SPI_FLASH,GigaDevice,GD25Q64");
}

TEST_F(IdentifyTest, SharedIdSelectsTheLowestSlotAndNamesTheOthers) {
    select(1, 0, 0); // another type shown: the first call switches back
    calls.clear();
    const Detection d = detect({1, 0xEF, 0x40, 0x17});
    EXPECT_EQ(catalogue.name(current), "25_SPI_FLASH,Winbond,W25Q64FV");
    EXPECT_EQ(calls.front(), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(d.message, "The chip was detected:W25Q64FV\n\n Chip type25_SPI_FLASH"
                         "\nAlso matches (ID EF 40 17): Winbond W25Q64JV, GigaDevice W25Q64JV, "
                         "Winbond W25Q64JW");
}

TEST_F(IdentifyTest, ManySharersAreNamedUpToSix) {
    for (int i = 0; i < 8; ++i) {
        ChipRecord &r = catalogue.slot(7 + i);
        std::snprintf(r.nameText, sizeof r.nameText, "25_SPI_FLASH,Maker,M%d", i);
        r.chipId = 0xC84017;
    }
    const Detection d = detect({1, 0xC8, 0x40, 0x17});
    EXPECT_TRUE(d.message.ends_with(
        "\nAlso matches (ID C8 40 17): Maker M0, Maker M1, Maker M2, Maker M3, Maker M4, "
        "Maker M5, ..."))
        << d.message;
}

// 00 00 00 and FF FF FF are what the bus gives without a chip that answers: they match
// none of the records without an ID, however many there are.
TEST_F(IdentifyTest, IdsThatNameNoChipAreUnknown) {
    for (const std::uint8_t b : {0x00, 0xFF}) {
        const Detection d = detect({1, b, b, b});
        EXPECT_TRUE(d.error);
        char expected[96];
        std::snprintf(expected, sizeof expected,
                      "Unknown chip ID =%02X %02X %02X"
                      "Please choose the compatibility type manually.",
                      b, b, b);
        EXPECT_EQ(d.message, expected);
        EXPECT_EQ(catalogue.name(current), "25_SPI_FLASH,Winbond,W25Q64FV");
    }
    EXPECT_EQ(findChipById(catalogue, 0), -1);
    EXPECT_EQ(findChipById(catalogue, 0xC84017), 2);
}

TEST_F(IdentifyTest, UnknownIdKeepsOrSelectsTheFirstType) {
    select(0, 0, 1); // position 0 already: the lists stay
    calls.clear();
    Detection d = detect({1, 0x12, 0x34, 0x56}); // only past the end record
    EXPECT_TRUE(d.error);
    EXPECT_EQ(d.picture, SocketShown::Unchanged);
    EXPECT_EQ(d.message, "Unknown chip ID =12 34 56Please choose the compatibility type manually.");
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(catalogue.name(current), "25_SPI_FLASH,Winbond,W25Q80");

    select(2, 0, 0);
    calls.clear();
    d = detect({1, 0x0A, 0x0B, 0x0C});
    EXPECT_EQ(d.message, "Unknown chip ID =0A 0B 0CPlease choose the compatibility type manually.");
    EXPECT_EQ(calls, (std::vector<std::array<int, 3>>{{0, 0, 0}}));
}

TEST_F(IdentifyTest, ChipsWithoutAnIdSelectTheirType) {
    Detection d = detect({2, 0, 0, 0});
    EXPECT_EQ(calls, (std::vector<std::array<int, 3>>{{1, 0, 0}}));
    EXPECT_EQ(d.picture, SocketShown::Chip);
    EXPECT_EQ(d.message,
              "Chip type is detected:24_EEPROM\n\n Please manually select the corresponding type "
              "burn.");
    d = detect({2, 0, 0, 0}); // already there: maker and model stay
    EXPECT_EQ(calls.size(), 1u);
    d = detect({3, 0, 0, 0});
    EXPECT_EQ(calls.back(), (std::array<int, 3>{2, 0, 0}));
    EXPECT_EQ(d.message.substr(0, 31), "Chip type is detected:93_EEPROM");
}

TEST_F(IdentifyTest, NoChipAndNoProgrammer) {
    for (int code : {0, 4, 200}) {
        const Detection d = detect({static_cast<std::uint8_t>(code), 1, 2, 3});
        EXPECT_EQ(d.picture, SocketShown::Empty) << code;
        EXPECT_EQ(d.message, "No chips detected, please put the chip to try again!") << code;
    }
    for (auto reach : {ChipIdentity::Reach::NotReachable, ChipIdentity::Reach::Busy}) {
        const Detection d = detect({1, 0xEF, 0x40, 0x17}, reach);
        EXPECT_EQ(d.message, "Not connected");
        EXPECT_EQ(d.picture, SocketShown::Unchanged);
    }
    const Detection d = detect({1, 0xEF, 0x40, 0x17}, ChipIdentity::Reach::LinkFailed);
    EXPECT_TRUE(d.error);
    EXPECT_EQ(d.message, "Transfer to the programmer failed while reading the chip ID.");
    EXPECT_TRUE(calls.empty());
}
