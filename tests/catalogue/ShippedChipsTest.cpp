// The chips of the shipped catalogue as a user meets them: found by the marking on the
// package through the search window's rules, named by Detect's ID lookup, and stored with
// the sub-type, size and supply their family calls for.
#include "catalogue/Catalogue.h"
#include "catalogue/Family.h"
#include "catalogue/NameText.h"
#include "catalogue/Selection.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>
#include <vector>

using namespace korvat;

namespace {

class ShippedChips : public ::testing::Test {
protected:
    Catalogue cat;

    void SetUp() override {
        ASSERT_EQ(cat.load(KORVAT_CATALOGUE_FILE, 2).outcome, CatalogueOutcome::Read);
    }
    // The record named exactly so; fails the test when there is none.
    const ChipRecord &chip(const std::string &name) {
        for (int i = 0; i < cat.chipCount(); ++i)
            if (cat.name(i) == name)
                return cat.slot(i);
        ADD_FAILURE() << "no chip " << name;
        return cat.slot(kCatalogueSlots - 1);
    }
    std::vector<std::string> modelsWithId(std::uint32_t id) const {
        std::vector<std::string> models;
        for (const int slot : cat.slotsWithChipId(id))
            models.push_back(splitForSelection(cat.name(slot)).model);
        return models;
    }
};

} // namespace

TEST_F(ShippedChips, HoldsNineHundredChipsAndLeavesThirtySlotsFree) {
    EXPECT_GE(cat.chipCount(), 900);
    EXPECT_GE(kCatalogueSlots - 1 - cat.chipCount(), 30);
    // Past the end record nothing is left that a search of all slots could find.
    for (int i = cat.chipCount(); i < kCatalogueSlots; ++i)
        ASSERT_TRUE(cat.slot(i).isEnd()) << i;
}

TEST_F(ShippedChips, AMarkingTypedInTheSearchFindsAndChoosesItsChip) {
    struct Marking {
        const char *key, *type, *maker, *model;
    };
    const Marking markings[] = {
        {"24LC256", "24_EEPROM", "Microchip", "24LC256"},
        {"m24c64", "24_EEPROM", "ST", "M24C64"}, // small letters: found without regard to case
        {"CAT24C512", "24_EEPROM", "onsemi", "CAT24C512"},
        {"93LC66B", "93_EEPROM", "Microchip", "93LC66B"},
        {"M95256", "95_EEPROM", "ST", "M95256"},
        {"25LC640A", "95_EEPROM", "Microchip", "25LC640A"},
        {"W25Q128JV", "25_SPI_FLASH", "Winbond", "W25Q128JV"},
    };
    SelectionLists lists;
    int current = 0;
    selectChip(cat, lists, current, 0, 0, 0); // as at start-up
    for (const Marking &m : markings) {
        SCOPED_TRACE(m.key);
        const std::vector<SearchRow> rows = searchCatalogue(cat, m.key);
        const auto found = std::find_if(rows.begin(), rows.end(), [&](const SearchRow &r) {
            return r.type == m.type && r.maker == m.maker && r.model == m.model;
        });
        ASSERT_NE(found, rows.end());
        EXPECT_EQ(chooseFoundChip(cat, lists, current, *found), found->slot);
        EXPECT_EQ(current, found->slot);
        EXPECT_EQ(lists.models[static_cast<std::size_t>(findIgnoringCase(lists.models, m.model))],
                  m.model);
    }
    // Without regard to case the small letters name that chip alone.
    EXPECT_EQ(searchCatalogue(cat, "m24c64").size(), 1u);
}

TEST_F(ShippedChips, DetectNamesTheChipsOfAnId) {
    // Detect selects the first chip of the ID and names up to six others besides it.
    const std::vector<std::string> gd = modelsWithId(0xC84017);
    ASSERT_FALSE(gd.empty());
    EXPECT_EQ(gd.front(), "GD25Q64");
    const auto e = std::find(gd.begin(), gd.end(), "GD25Q64E");
    ASSERT_NE(e, gd.end());
    EXPECT_LE(e - gd.begin(), 6);
    // An alias joins its ID without taking the first place.
    const std::vector<std::string> w = modelsWithId(0xEF4018);
    EXPECT_EQ(w.front(), "W25Q128");
    EXPECT_NE(std::find(w.begin(), w.end(), "W25Q128JV"), w.end());
    // IDs the catalogue did not know before.
    EXPECT_EQ(modelsWithId(0x856017), std::vector<std::string>{"P25Q64H"});
    EXPECT_EQ(modelsWithId(0xF83216), std::vector<std::string>{"FM25Q32A"});
    EXPECT_EQ(modelsWithId(0xC86012), (std::vector<std::string>{"GD25LD20C", "GD25LQ20C"}));
    // An EEPROM has no ID, so none of them is named for the ID 0.
    EXPECT_TRUE(cat.slotsWithChipId(0).empty());
}

// The rules that follow from the capacity alone (24-series address bytes, 25-series
// 4-byte addresses, 93- and 95-series address widths) the build and the default
// catalogue's test check on every record; these follow from the part.
TEST_F(ShippedChips, RecordsCarryTheSubTypeOfTheirPart) {
    // 93 series: a part with an ORG pin is two records; a 93C56 is addressed as a 93C66.
    const ChipRecord &x8 = chip("93_EEPROM,Microchip,93LC56C_x8");
    const ChipRecord &x16 = chip("93_EEPROM,Microchip,93LC56C_x16");
    EXPECT_EQ(std::tie(x8.family, x8.algorithm, x8.flashPage, x8.capacity),
              std::make_tuple(std::uint8_t{2}, std::uint8_t{9}, std::uint16_t{1}, 256u));
    EXPECT_EQ(std::tie(x16.algorithm, x16.flashPage, x16.capacity),
              std::make_tuple(std::uint8_t{89}, std::uint16_t{2}, 256u));
    EXPECT_EQ(chip("93_EEPROM,Microchip,93LC66B").algorithm, 89); // fixed x16
    EXPECT_EQ(chip("93_EEPROM,onsemi,CAT93C57_x8").algorithm, 8);
    // Parts that run only from 1.8 V, and one that runs from 1.8 to 5.5 V.
    const ChipRecord &low = chip("25_SPI_FLASH,GigaDevice,GD25LT256E");
    EXPECT_EQ(std::tie(low.algorithm, low.voltage),
              std::make_tuple(std::uint8_t{kAlgorithmOver16M}, std::uint8_t{1}));
    EXPECT_EQ(chip("25_SPI_FLASH,Winbond,W25Q20EW").voltage, 1);
    EXPECT_EQ(chip("24_EEPROM,Atmel,AT24C02").voltage, 0);
}
