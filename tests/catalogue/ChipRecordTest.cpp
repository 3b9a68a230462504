#include "catalogue/ChipRecord.h"
#include "catalogue/Family.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace korvat;

TEST(ChipRecord, FieldsLieLittleEndianAtTheirOffsets) {
    ChipRecord r;
    std::memset(&r, 0, sizeof r);
    r.chipId = 0xEF4017;
    r.capacity = 0x00080000;
    r.flashPage = 0x0100;
    r.family = 2;
    r.algorithm = 89;
    r.delay = 0x1234;
    r.association = 7;
    r.eepromSize = 0x2000;
    r.eepromPage = 0x80;
    r.voltage = 1;
    const auto *b = reinterpret_cast<const unsigned char *>(&r);
    const unsigned char expected[] = {0x17, 0x40, 0xEF, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x01,
                                      0x02, 89,   0x34, 0x12, 0x07, 0x00, 0x00, 0x20, 0x80, 0x01};
    EXPECT_EQ(std::memcmp(b + 48, expected, sizeof expected), 0);
}

TEST(ChipRecord, StoredNameStopsAtZeroOrAtTheField) {
    ChipRecord r;
    std::memset(&r, 'A', sizeof r.nameText);
    EXPECT_EQ(r.storedName().size(), kNameTextSize); // no zero: never read past the field
    std::strcpy(r.nameText, "25,W,X");
    EXPECT_EQ(r.storedName(), "25,W,X");
    EXPECT_FALSE(r.isEnd());
    r.nameText[0] = 0;
    EXPECT_TRUE(r.isEnd());
}

TEST(Family, SubtypePositionsMapToStoredCodesAndBack) {
    // 25 series: SST bit and the over-16-MiB bit.
    const int codes25[] = {0, 1, 128, 129};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(algorithmForSubtype(kFamily25Flash, k), codes25[k]);
        EXPECT_EQ(subtypeForAlgorithm(kFamily25Flash, codes25[k], 0), k);
    }
    EXPECT_FALSE(algorithmForSubtype(kFamily25Flash, -1).has_value());
    EXPECT_EQ(subtypeForAlgorithm(kFamily25Flash, 5, 0), -1);

    // 93 series: 8-bit organisation 7..11, 16-bit 87..91.
    EXPECT_EQ(algorithmForSubtype(kFamily93Eeprom, 0), 7);  // 93C46 8 bits
    EXPECT_EQ(algorithmForSubtype(kFamily93Eeprom, 7), 89); // 93C66 16 bits
    EXPECT_EQ(subtypeList(kFamily93Eeprom)[subtypeForAlgorithm(kFamily93Eeprom, 89, 0)],
              "93C66 16 BITS");
    EXPECT_EQ(subtypeList(kFamily93Eeprom)[subtypeForAlgorithm(kFamily93Eeprom, 9, 0)],
              "93C66 8 BITS");
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(subtypeForAlgorithm(kFamily93Eeprom, *algorithmForSubtype(kFamily93Eeprom, k), 0),
                  k);

    // 24 series goes by capacity, not by the stored code.
    EXPECT_EQ(algorithmForSubtype(kFamily24Eeprom, 1), 1);
    EXPECT_EQ(subtypeForAlgorithm(kFamily24Eeprom, 1, 5), 0); // 2 KB
    EXPECT_EQ(subtypeForAlgorithm(kFamily24Eeprom, 0, 6), 1); // 4 KB

    EXPECT_EQ(algorithmForSubtype(kFamily95Eeprom, 2), 2);
    EXPECT_EQ(subtypeForAlgorithm(kFamily95Eeprom, 2, 0), 2);
    EXPECT_EQ(algorithmForSubtype(kFamilyAvr, 0), 0);
    EXPECT_EQ(subtypeForAlgorithm(kFamilyAvr, 77, 0), 0);
}

TEST(Family, ListsOfTheEditor) {
    EXPECT_EQ(familyText(0), "25 flash 系列");
    EXPECT_EQ(familyText(4), "AVR 系列");
    EXPECT_TRUE(familyText(5).empty());
    EXPECT_EQ(subtypeList(kFamily25Flash).size(), 4u);
    EXPECT_EQ(subtypeList(kFamily24Eeprom).size(), 2u);
    EXPECT_EQ(subtypeList(kFamily93Eeprom).size(), 10u);
    EXPECT_EQ(subtypeList(kFamily95Eeprom)[2], "24位地址");
    EXPECT_EQ(subtypeList(kFamilyAvr)[0], "标准算法");
    EXPECT_TRUE(subtypeList(-1).empty());
}
