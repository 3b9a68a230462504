#include "catalogue/Family.h"

#include <gtest/gtest.h>

using namespace korvat;

// Each family's row, as the engine, the selection, the identity check and the editor read it.
TEST(FamilyRules, EachFamilyRow) {
    struct Row {
        int family;
        EraseKind erase;
        int writeWaitMs;
        std::string_view firstTab;
        DetectedBy detectedBy;
        bool editorReadsSubtype;
    };
    const Row rows[] = {
        {kFamily25Flash, EraseKind::PolledWholeChip, 0, "FLASH", DetectedBy::Id, true},
        {kFamily24Eeprom, EraseKind::EachPage, 100, "EEPROM", DetectedBy::TypeCode, false},
        {kFamily93Eeprom, EraseKind::WholeChipOnce, 0, "EEPROM", DetectedBy::TypeCode, true},
        {kFamily95Eeprom, EraseKind::None, 0, "EEPROM", DetectedBy::NotKnown, true},
        {kFamilyAvr, EraseKind::None, 0, "FLASH", DetectedBy::Id, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.family);
        const FamilyRules &rules = familyRules(row.family);
        EXPECT_TRUE(rules.known);
        EXPECT_EQ(rules.erase, row.erase);
        EXPECT_EQ(rules.writeWaitMs, row.writeWaitMs);
        EXPECT_EQ(rules.firstTab, row.firstTab);
        EXPECT_EQ(rules.detectedBy, row.detectedBy);
        EXPECT_EQ(rules.hasId(), row.detectedBy == DetectedBy::Id);
        EXPECT_EQ(rules.editorReadsSubtype, row.editorReadsSubtype);
        EXPECT_EQ(rules.text, familyText(row.family));
        EXPECT_FALSE(rules.subtypes.empty());
    }
    // A code the programmer does not know: nothing to list, erase, wait for or detect.
    for (const int unknown : {-1, 5, 255}) {
        SCOPED_TRACE(unknown);
        const FamilyRules &rules = familyRules(unknown);
        EXPECT_FALSE(rules.known);
        EXPECT_EQ(rules.erase, EraseKind::NotKnown);
        EXPECT_EQ(rules.writeWaitMs, 0);
        EXPECT_EQ(rules.firstTab, "EEPROM");
        EXPECT_EQ(rules.detectedBy, DetectedBy::Nothing);
        EXPECT_FALSE(rules.hasId());
        EXPECT_TRUE(rules.text.empty());
        EXPECT_TRUE(rules.subtypes.empty());
    }
}
