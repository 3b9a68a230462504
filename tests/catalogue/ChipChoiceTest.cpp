#include "catalogue/ChipChoice.h"

#include "catalogue/Catalogue.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace korvat;
using Names = std::vector<std::string>;

namespace {

Catalogue catalogueOf(std::initializer_list<const char *> names) {
    Catalogue cat;
    int i = 0;
    for (const char *n : names)
        std::strcpy(cat.slot(i++).nameText, n);
    return cat;
}

} // namespace

// A model names one chip, letter case aside; a repeated model needs the full name, and
// an unknown or repeated one lists what it could mean.
TEST(ChipChoice, ByModelOrFullName) {
    const Catalogue cat =
        catalogueOf({"25_SPI_FLASH,Winbond,W25Q64FV", "25_SPI_FLASH,Winbond,W25Q64JW",
                     "25_SPI_FLASH,GigaDevice,GD25Q64", "25_SPI_FLASH,XTX,GD25Q64"});
    EXPECT_EQ(chooseChip(cat, "w25q64fv").slot, 0);
    EXPECT_EQ(chooseChip(cat, " W25Q64JW ").slot, 1);

    const ChipChoice twice = chooseChip(cat, "GD25Q64");
    EXPECT_FALSE(twice.slot);
    EXPECT_EQ(twice.named, (std::vector<int>{2, 3}));
    EXPECT_EQ(twice.candidates,
              (Names{"25_SPI_FLASH/GigaDevice/GD25Q64", "25_SPI_FLASH/XTX/GD25Q64"}));
    EXPECT_EQ(chooseChip(cat, "25_spi_flash/xtx/gd25q64").slot, 3);

    const ChipChoice unknown = chooseChip(cat, "W25Q64");
    EXPECT_FALSE(unknown.slot);
    EXPECT_TRUE(unknown.named.empty()); // only chips whose name holds it
    EXPECT_EQ(unknown.candidates,
              (Names{"25_SPI_FLASH/Winbond/W25Q64FV", "25_SPI_FLASH/Winbond/W25Q64JW"}));
    EXPECT_TRUE(chooseChip(cat, "AT24C02").candidates.empty());
    EXPECT_EQ(chooseChip(cat, "25_SPI_FLASH/Winbond/W25Q64").candidates.size(), 2u);

    EXPECT_EQ(chipsContaining(cat, "winbond,").size(), 2u); // the name text, across a comma
    EXPECT_EQ(chipsContaining(cat, "").size(), 4u);
}
