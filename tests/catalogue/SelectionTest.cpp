#include "catalogue/Selection.h"
#include "catalogue/Catalogue.h"
#include "catalogue/NameText.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>

using namespace korvat;
using List = std::vector<std::string>;

namespace {

struct Fixture {
    Catalogue cat;
    SelectionLists lists;
    int current = 0;

    explicit Fixture(std::initializer_list<const char *> names) {
        int i = 0;
        for (const char *n : names)
            std::strcpy(cat.slot(i++).nameText, n);
    }
    int select(int f, int m, int n) { return selectChip(cat, lists, current, f, m, n); }
};

} // namespace

TEST(Selection, ListsHoldEachNameOnceAsFirstMet) {
    Fixture s{"SPI,Winbond,A", "SPI,WINBOND,B", "I2C,Atmel,X", "SPI,Winbond,C", "spi,Winbond,D"};
    EXPECT_EQ(s.select(0, 0, 1), 3);
    EXPECT_EQ(s.lists.families, (List{"SPI", "I2C"}));
    EXPECT_EQ(s.lists.makers, List{"Winbond"});
    // The capitalised maker and family never match the chosen entry exactly.
    EXPECT_EQ(s.lists.models, (List{"A", "C"}));
    EXPECT_EQ(s.current, 3);
}

TEST(Selection, OnlyAppendedModelsAreCounted) {
    Fixture s{"SPI,W,", "SPI,W,X", "SPI,W,X", "SPI,W,Y"};
    EXPECT_EQ(s.select(0, 0, 0), 1);
    EXPECT_EQ(s.lists.models, (List{"X", "Y"}));
    EXPECT_EQ(s.select(0, 0, 1), 3); // the duplicate of X is neither listed nor counted
    EXPECT_EQ(s.select(0, 0, 2), -1);
    EXPECT_EQ(s.current, 3);
}

TEST(Selection, PositionsThatDoNotFitSelectNothing) {
    Fixture s{"SPI,W,X", "I2C,A,Y"};
    ASSERT_EQ(s.select(0, 0, 0), 0);
    // A family change while the maker list is empty: makers filled, nothing chosen.
    EXPECT_EQ(s.select(1, -1, -1), -1);
    EXPECT_EQ(s.lists.makers, List{"A"});
    EXPECT_TRUE(s.lists.models.empty());
    EXPECT_EQ(s.current, 0);
    EXPECT_EQ(s.select(7, 0, 0), -1);
    EXPECT_EQ(s.select(1, 0, 0), 1);
}

TEST(Selection, BlanksSplitTheTypeInTheMainWindow) {
    Fixture s{"25 flash,Winbond,W25Q64"};
    EXPECT_EQ(s.select(0, 0, 0), 0);
    EXPECT_EQ(s.lists.families, List{"25"});
    EXPECT_EQ(s.lists.makers, List{"flash"});
    EXPECT_EQ(s.lists.models, List{"Winbond"});
}

TEST(Selection, EmptyCatalogueChoosesNothing) {
    Fixture s{};
    EXPECT_EQ(s.select(0, 0, 0), -1);
    EXPECT_TRUE(s.lists.families.empty());
}

TEST(Selection, FirstTabCaption) {
    EXPECT_EQ(firstTabCaption(0), "FLASH");
    EXPECT_EQ(firstTabCaption(4), "FLASH");
    EXPECT_EQ(firstTabCaption(1), "EEPROM");
    EXPECT_EQ(firstTabCaption(-1), "EEPROM");
}

// With its case where that finds a chip, else in any case.
TEST(Search, KeyMatchesTheNameTextWithItsCaseFirst) {
    Fixture s{"SPI,Winbond,W25Q64", "SPI,Macronix,MX25L", "I2C,Atmel,AT24C02", "SPI,Winbond,W25X",
              "SPI,Other,w25q"};
    auto slots = [&](std::string_view key) {
        std::vector<int> out;
        for (const SearchRow &r : searchCatalogue(s.cat, key))
            out.push_back(r.slot);
        return out;
    };
    EXPECT_EQ(slots("W25"), (std::vector<int>{0, 3}));
    EXPECT_EQ(slots("w25"), std::vector<int>{4});
    EXPECT_EQ(slots("q64"), std::vector<int>{0});
    EXPECT_EQ(slots(" Winbond,W25Q \t"), std::vector<int>{0}); // trimmed, across a comma
    EXPECT_TRUE(slots("").empty());
    EXPECT_TRUE(slots("   ").empty());
    const auto rows = searchCatalogue(s.cat, "AT24");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].type, "I2C");
    EXPECT_EQ(rows[0].maker, "Atmel");
    EXPECT_EQ(rows[0].model, "AT24C02");
}

TEST(Search, ChoosingAFoundChipSelectsItThroughTheLists) {
    Fixture s{"SPI,Winbond,W25Q64", "I2C,Atmel,AT24C01", "I2C,Atmel,AT24C02", "I2C,ST,M24C02"};
    ASSERT_EQ(s.select(0, 0, 0), 0);
    const auto rows = searchCatalogue(s.cat, "M24C02");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(chooseFoundChip(s.cat, s.lists, s.current, rows[0]), 3);
    EXPECT_EQ(s.current, 3);
    EXPECT_EQ(s.lists.makers, (List{"Atmel", "ST"}));
    EXPECT_EQ(s.lists.models, List{"M24C02"});
}

// After an edit of the catalogue the same chip stays current by its name, wherever its
// slot went; the lists hold only what the new catalogue holds.
TEST(Selection, ReselectingFindsTheChipByItsNameAfterTheSlotsMoved) {
    Fixture s{"SPI,W,A", "I2C,At,X", "SPI,W,B"};
    ASSERT_EQ(s.select(0, 0, 1), 2);
    std::memset(&s.cat.slot(0), 0, sizeof(ChipRecord)); // the first chip deleted: all move up
    std::strcpy(s.cat.slot(0).nameText, "I2C,At,X");
    std::strcpy(s.cat.slot(1).nameText, "SPI,W,B");
    std::memset(&s.cat.slot(2), 0, sizeof(ChipRecord));

    const ChipPositions p = reselectChip(s.cat, s.lists, s.current, {"spi", "w", "b"});
    EXPECT_EQ(p.chosen, 1);
    EXPECT_EQ(s.current, 1);
    EXPECT_EQ(s.lists.families, (List{"I2C", "SPI"})); // rebuilt, not appended to
    EXPECT_EQ((std::array{p.family, p.maker, p.model}), (std::array{1, 0, 0}));
    EXPECT_EQ(s.lists.models, List{"B"});

    // A chip that is gone: the first chip.
    const ChipPositions gone = reselectChip(s.cat, s.lists, s.current, {"SPI", "W", "A"});
    EXPECT_EQ(gone.chosen, 0);
    EXPECT_EQ(s.current, 0);
    EXPECT_EQ(s.lists.models, List{"X"});

    // No chip at all: nothing chosen, and the current slot is the end record.
    Fixture empty{};
    empty.current = 5;
    EXPECT_EQ(reselectChip(empty.cat, empty.lists, empty.current, {"SPI", "W", "A"}).chosen, -1);
    EXPECT_EQ(empty.current, 0);
    EXPECT_TRUE(empty.lists.families.empty());
}
