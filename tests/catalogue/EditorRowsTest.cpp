#include "catalogue/EditorRows.h"

#include "catalogue/Family.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

using namespace korvat;

namespace {

GridRow chipRow(std::string capacity, std::string page, std::string family, std::string algorithm,
                std::string eepromSize = "0") {
    return {"SPI_FLASH",
            "MAKER",
            "MODEL",
            "0xEF4017",
            std::move(capacity),
            std::move(page),
            std::move(family),
            std::move(algorithm),
            "200",
            "1",
            std::move(eepromSize),
            "8",
            "3"};
}

int position(std::span<const std::string_view> list, std::string_view text) {
    const auto it = std::find(list.begin(), list.end(), text);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

std::string_view subtypeText(const EditorControls &c) {
    return subtypeList(c.family)[static_cast<std::size_t>(c.algorithm)];
}

} // namespace

TEST(EditorRows, HalvingsCountsTheExponentOfTwo) {
    EXPECT_EQ(halvings(0), 0);
    EXPECT_EQ(halvings(1), 0);
    EXPECT_EQ(halvings(2), 1);
    EXPECT_EQ(halvings(3), 1);
    EXPECT_EQ(halvings(64), 6);
    EXPECT_EQ(halvings(2048), 11);
    EXPECT_EQ(halvings(67108864), 26);
    EXPECT_EQ(halvings(0xFFFFFFFFu), 31);
}

TEST(EditorRows, ListTextsMatchTheirPositions) {
    ASSERT_EQ(capacityListTexts().size(), 21u);
    EXPECT_EQ(capacityListTexts().front(), "64B");
    EXPECT_EQ(capacityListTexts()[18], "16MB");
    EXPECT_EQ(capacityListTexts().back(), "64MB");
    ASSERT_EQ(pageListTexts().size(), 9u);
    EXPECT_EQ(pageListTexts().back(), "256");
    ASSERT_EQ(eepromSizeListTexts().size(), 27u);
    EXPECT_EQ(eepromSizeListTexts()[0], "0B");
    EXPECT_EQ(eepromSizeListTexts()[1], "2B");
    EXPECT_EQ(eepromSizeListTexts().back(), "64MB");
    ASSERT_EQ(voltageListTexts().size(), 2u);
    EXPECT_EQ(voltageListTexts()[1], "1.8V");
    ASSERT_EQ(associationListTexts().size(), 19u);
    EXPECT_EQ(associationListTexts().back(), "18");
    ASSERT_EQ(familyListTexts().size(), 5u);
    EXPECT_EQ(familyListTexts()[4], "AVR 系列");
}

TEST(EditorRows, DefaultsWriteTheInitialSelections) {
    GridRow row;
    writeControls(EditorControls{}, row);
    EXPECT_EQ(row, (GridRow{"", "", "", "0", "64", "1", "0", "0", "100", "0", "2", "4", "0"}));
}

TEST(EditorRows, LoadSetsEveryControl) {
    const auto r = loadControls(chipRow("0x400000", "256", "0", "1", "512"), EditorControls{});
    ASSERT_FALSE(r.error);
    const EditorControls &c = r.controls;
    EXPECT_EQ(c.type, "SPI_FLASH");
    EXPECT_EQ(c.maker, "MAKER");
    EXPECT_EQ(c.model, "MODEL");
    EXPECT_EQ(c.chipIdText, "0xEF4017"); // taken as it is
    EXPECT_EQ(capacityListTexts()[static_cast<std::size_t>(c.capacity)], "4MB");
    EXPECT_EQ(pageListTexts()[static_cast<std::size_t>(c.flashPage)], "256");
    EXPECT_EQ(c.family, kFamily25Flash);
    EXPECT_EQ(subtypeText(c), "SST SPI flash");
    EXPECT_EQ(c.delayText, "200");
    EXPECT_EQ(c.voltage, 1);
    EXPECT_EQ(eepromSizeListTexts()[static_cast<std::size_t>(c.eepromSize)], "512B");
    EXPECT_EQ(pageListTexts()[static_cast<std::size_t>(c.eepromPage)], "8");
    EXPECT_EQ(c.associationText, "3");
}

TEST(EditorRows, DelayAndAssociationLoadAsNumbers) {
    GridRow row = chipRow("4096", "1", "3", "2");
    row[8] = "$64";
    row[12] = " 0x0A";
    const auto r = loadControls(row, EditorControls{});
    ASSERT_FALSE(r.error);
    EXPECT_EQ(r.controls.delayText, "100");
    EXPECT_EQ(r.controls.associationText, "10");
}

TEST(EditorRows, SstOver16MRoundTripsAs129) {
    GridRow row = chipRow("33554432", "256", "0", "129");
    const auto r = loadControls(row, EditorControls{});
    ASSERT_FALSE(r.error);
    EXPECT_EQ(subtypeText(r.controls), "SST大于16M bytes");
    row[7] = "0";
    writeControls(r.controls, row);
    EXPECT_EQ(row[7], "129");
    EXPECT_EQ(row[4], "33554432");
}

TEST(EditorRows, Series93CodesSelectChipAndOrganisation) {
    const auto org16 = loadControls(chipRow("512", "1", "2", "89"), EditorControls{});
    ASSERT_FALSE(org16.error);
    EXPECT_EQ(subtypeText(org16.controls), "93C66 16 BITS");

    const auto org8 = loadControls(chipRow("512", "1", "2", "9"), EditorControls{});
    ASSERT_FALSE(org8.error);
    EXPECT_EQ(subtypeText(org8.controls), "93C66 8 BITS");
}

TEST(EditorRows, Series24GoesByCapacityNotByTheStoredCode) {
    const auto small = loadControls(chipRow("2048", "8", "1", "1"), EditorControls{});
    ASSERT_FALSE(small.error);
    EXPECT_EQ(small.controls.algorithm, 0);
    EXPECT_EQ(subtypeText(small.controls), "小于4KB");

    const auto large = loadControls(chipRow("4096", "8", "1", "0"), EditorControls{});
    EXPECT_EQ(subtypeText(large.controls), "大于等于4KB");

    // The stored code is not read, so even a text there does not stop the load.
    const auto text = loadControls(chipRow("4096", "8", "1", "abc"), EditorControls{});
    EXPECT_FALSE(text.error);
}

TEST(EditorRows, WriteConvertsListPositionsToSizes) {
    EditorControls c;
    c.capacity = position(capacityListTexts(), "16MB");
    c.flashPage = position(pageListTexts(), "256");
    c.eepromSize = position(eepromSizeListTexts(), "0B");
    GridRow row;
    writeControls(c, row);
    EXPECT_EQ(row[4], "16777216");
    EXPECT_EQ(row[5], "256");
    EXPECT_EQ(row[10], "0");

    c.eepromSize = position(eepromSizeListTexts(), "2KB");
    c.eepromPage = position(pageListTexts(), "32");
    writeControls(c, row);
    EXPECT_EQ(row[10], "2048");
    EXPECT_EQ(row[11], "32");
}

TEST(EditorRows, WriteTakesTypedTextsAsTheyAre) {
    EditorControls c;
    c.type = " SPI FLASH ";
    c.maker = "";
    c.model = "A,B";
    c.chipIdText = "0x1F";
    c.delayText = "not checked";
    c.associationText = "18";
    c.voltage = 1;
    GridRow row;
    writeControls(c, row);
    // The texts as typed; the lists at their first entries (EEPROM "2B", page "4").
    EXPECT_EQ(row, (GridRow{" SPI FLASH ", "", "A,B", "0x1F", "64", "1", "0", "0", "not checked",
                            "1", "2", "4", "18"}));
}

TEST(EditorRows, EepromSizesZeroAndOneBothLoadAsNone) {
    for (const char *cell : {"0", "1"}) {
        EditorControls current;
        current.eepromSize = 5;
        const auto r = loadControls(chipRow("1024", "1", "4", "0", cell), current);
        ASSERT_FALSE(r.error);
        EXPECT_EQ(r.controls.eepromSize, 0) << cell;
        EXPECT_EQ(eepromSizeListTexts()[0], "0B");
    }
}

TEST(EditorRows, NonIntegerCellStopsTheLoadHalfway) {
    EditorControls current;
    current.delayText = "7";
    current.voltage = 0;
    current.associationText = "5";
    GridRow row = chipRow("8192", "16", "3", "1");
    row[8] = "1O0";
    const auto r = loadControls(row, current);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(*r.error, "'1O0' is not a valid integer value");
    // Everything before the delay cell is set ...
    EXPECT_EQ(r.controls.type, "SPI_FLASH");
    EXPECT_EQ(capacityListTexts()[static_cast<std::size_t>(r.controls.capacity)], "8KB");
    EXPECT_EQ(pageListTexts()[static_cast<std::size_t>(r.controls.flashPage)], "16");
    EXPECT_EQ(r.controls.family, kFamily95Eeprom);
    EXPECT_EQ(subtypeText(r.controls), "16位地址");
    // ... and everything from it on keeps the current controls.
    EXPECT_EQ(r.controls.delayText, "7");
    EXPECT_EQ(r.controls.voltage, 0);
    EXPECT_EQ(r.controls.associationText, "5");
}

TEST(EditorRows, BadAlgorithmCellLeavesTheFirstSubtypeOfTheNewFamily) {
    EditorControls current;
    current.algorithm = 3;
    const auto r = loadControls(chipRow("512", "1", "2", "x"), current);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(*r.error, "'x' is not a valid integer value");
    EXPECT_EQ(r.controls.family, kFamily93Eeprom);
    EXPECT_EQ(r.controls.algorithm, 0);
}

TEST(EditorRows, WriteKeepsTheAlgorithmCellWhenNoSubtypeIsSelected) {
    EditorControls c;
    c.family = kFamily25Flash;
    c.algorithm = -1;
    GridRow row;
    row[7] = "129";
    writeControls(c, row);
    EXPECT_EQ(row[7], "129");
    EXPECT_EQ(row[6], "0");

    c.family = kFamily93Eeprom;
    c.algorithm = 10; // beyond the ten entries
    writeControls(c, row);
    EXPECT_EQ(row[7], "129");
}

TEST(EditorRows, PositionsOutsideTheListsLeaveTheirCells) {
    EditorControls c;
    c.family = 7;
    c.algorithm = 0;
    c.capacity = 21;
    c.flashPage = -1;
    c.voltage = 2;
    c.eepromSize = 27;
    c.eepromPage = 100;
    GridRow row = chipRow("1", "2", "3", "4", "5");
    writeControls(c, row);
    // Cells 4 to 7 and 9 to 11 as they were; the texts are written as typed.
    EXPECT_EQ(row, (GridRow{"", "", "", "0", "1", "2", "3", "4", "100", "1", "5", "8", "0"}));
}

TEST(EditorRows, ValuesOutsideTheListsLoadAsNoSelection) {
    GridRow row = chipRow("32", "512", "9", "0");
    row[9] = "2";
    row[10] = "0x80000000";
    const auto r = loadControls(row, EditorControls{});
    ASSERT_FALSE(r.error);
    EXPECT_EQ(r.controls.capacity, -1);  // 32 bytes is below the list
    EXPECT_EQ(r.controls.flashPage, -1); // 512 is above it
    EXPECT_EQ(r.controls.family, -1);
    EXPECT_EQ(r.controls.algorithm, -1); // no family, no sub-type list
    EXPECT_EQ(r.controls.voltage, -1);
    EXPECT_EQ(r.controls.eepromSize, -1);

    const auto unknown25 = loadControls(chipRow("1024", "1", "0", "2"), EditorControls{});
    EXPECT_EQ(unknown25.controls.algorithm, -1);
    const auto unknown93 = loadControls(chipRow("1024", "1", "2", "4000000000"), EditorControls{});
    EXPECT_EQ(unknown93.controls.algorithm, -1);
    const auto negative = loadControls(chipRow("-64", "-1", "3", "-1"), EditorControls{});
    EXPECT_EQ(negative.controls.capacity, -1);
    EXPECT_EQ(negative.controls.flashPage, 0);
    EXPECT_EQ(negative.controls.algorithm, -1);
}

TEST(EditorRows, EverySubtypeOfEveryFamilyRoundTrips) {
    for (int family = 0; family < kFamilyCount; ++family) {
        const auto list = subtypeList(family);
        ASSERT_FALSE(list.empty());
        for (int k = 0; k < static_cast<int>(list.size()); ++k) {
            EditorControls c;
            c.family = family;
            c.algorithm = k;
            // The 24 series shows its sub-type by capacity: pick one on the right side.
            c.capacity =
                family == kFamily24Eeprom && k == 1 ? position(capacityListTexts(), "4KB") : 0;
            GridRow row;
            writeControls(c, row);
            const auto r = loadControls(row, EditorControls{});
            ASSERT_FALSE(r.error) << *r.error;
            EXPECT_EQ(r.controls.family, family);
            EXPECT_EQ(r.controls.algorithm, k) << familyText(family) << " " << list[k];
            GridRow again;
            writeControls(r.controls, again);
            EXPECT_EQ(again, row) << familyText(family) << " " << list[k];
        }
    }
}

TEST(EditorRows, WrittenRowLoadsBackToTheSameControls) {
    EditorControls c;
    c.type = "EEPROM";
    c.maker = "MAKER";
    c.model = "X24C02";
    c.chipIdText = "0";
    c.delayText = "50";
    c.family = kFamily24Eeprom;
    c.capacity = position(capacityListTexts(), "256B");
    c.flashPage = position(pageListTexts(), "8");
    c.voltage = 1;
    c.algorithm = 0;
    c.eepromSize = position(eepromSizeListTexts(), "256B");
    c.eepromPage = position(pageListTexts(), "16");
    c.associationText = "12";
    GridRow row;
    writeControls(c, row);
    const auto r = loadControls(row, EditorControls{});
    ASSERT_FALSE(r.error);
    GridRow again;
    writeControls(r.controls, again);
    EXPECT_EQ(again, row);
    EXPECT_EQ(r.controls.eepromSize, c.eepromSize);
    EXPECT_EQ(r.controls.capacity, c.capacity);
}

TEST(EditorRows, RecordRowLoadsIntoControls) {
    ChipRecord rec{};
    std::strcpy(rec.nameText, "SPI_FLASH,MAKER,MODEL");
    rec.chipId = 0xEF4017;
    rec.capacity = 0x400000;
    rec.flashPage = 256;
    rec.family = kFamily93Eeprom;
    rec.algorithm = 89;
    rec.delay = 100;
    const auto r = loadControls(gridRowFor(rec), EditorControls{});
    ASSERT_FALSE(r.error);
    EXPECT_EQ(r.controls.chipIdText, "0xEF4017");
    EXPECT_EQ(subtypeText(r.controls), "93C66 16 BITS");
    EXPECT_EQ(r.controls.eepromSize, 0);
    EXPECT_EQ(r.controls.eepromPage, 0);
}

// The grid shows the chips in slot order; the name lists take each text once, as first
// spelled, and no empty maker; the filter looks at the whole name, letter case aside.
TEST(EditorGrid, RowsNameListsAndFilter) {
    Catalogue cat;
    const char *names[] = {"SPI,Winbond,W25Q64", "spi,WINBOND,W25Q32", "I2C,,AT24C02",
                           "SPI,Atmel,w25q64"};
    for (int i = 0; i < 4; ++i)
        std::strcpy(cat.slot(i).nameText, names[i]);
    cat.slot(1).chipId = 0xEF4016;
    const std::vector<GridRow> rows = gridRowsFor(cat);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][3], "0xEF4016");
    EXPECT_EQ(rows[2][1], "");

    const EditorNameLists lists = editorNameLists(rows);
    using List = std::vector<std::string>;
    EXPECT_EQ(lists.types, (List{"SPI", "I2C"}));
    EXPECT_EQ(lists.makers, (List{"Winbond", "Atmel"}));
    EXPECT_EQ(lists.models, (List{"W25Q64", "W25Q32", "AT24C02"}));

    auto shown = [&](std::string_view filter) {
        List models;
        for (const GridRow &r : rows)
            if (rowMatchesFilter(r, filter))
                models.push_back(r[2]);
        return models;
    };
    EXPECT_EQ(shown(" w25q64 "), (List{"W25Q64", "w25q64"}));
    EXPECT_EQ(shown("winbond,w25"), (List{"W25Q64", "W25Q32"})); // across the comma
    EXPECT_EQ(shown("").size(), 4u);
    EXPECT_TRUE(shown("W25X").empty());
}
