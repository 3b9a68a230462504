#include "base/TextTable.h"

#include <gtest/gtest.h>

using namespace korvat;

TEST(TextTable, EveryTripleHasAllThreeLanguages) {
    for (int n = 0; n < kTextNameCount; ++n)
        for (int lang = 0; lang < kLanguageCount; ++lang)
            EXPECT_FALSE(text(static_cast<TextName>(n), lang).empty()) << n << " " << lang;
}

TEST(TextTable, TextsKeepTheirExactSpacing) {
    EXPECT_EQ(text(txtUseTime, 2), "Use time ");
    EXPECT_EQ(text(txtWriteRunning, 0), "编程 Flash ...");
    EXPECT_EQ(text(txtWriteRunning, 1), "編程 Flash ... ");
    EXPECT_EQ(text(txtVerifyMismatch, 0), "Flash 校验错误地址: ");
    EXPECT_EQ(text(txtVerifyMismatch, 2), "Flash check error address:");
    EXPECT_EQ(text(txtTypeDetected, 0), "检测到芯片芯片类型: ");
    EXPECT_EQ(text(txtTypeDetected, 2), "Chip type is detected:");
    EXPECT_EQ(text(txtOverwriteQuestion, 2), "File already exists. Is it covered? ");
    EXPECT_EQ(text(txtChipTypeLine, 2), "\n\n Chip type");
    EXPECT_EQ(text(txtSelectManually, 1), "\n\n請手動選擇對應型號燒寫。");
    EXPECT_EQ(text(txtBlankDone, 2), "Bank Complete!");
    EXPECT_EQ(text(txtNotConnected, 1), "編程器未接入");
    EXPECT_EQ(text(txtProgrammerDetected, 2),
              "The programmer Korvat 2 is detected, and the working state is normal.");
}

TEST(TextTable, LanguageOutsideTheTableReadsAsSimplifiedChinese) {
    EXPECT_EQ(text(txtReadDone, 3), "读出完成！");
    EXPECT_EQ(text(txtReadDone, -1), "读出完成！");
    EXPECT_EQ(text(txtReadDone, 1 << 30), text(txtReadDone, 0));
    EXPECT_TRUE(text(kTextNameCount, 0).empty());
}

// Marks are filled in one pass: a value that holds a mark is shown as it is.
TEST(TextTable, TextWithFillsEachMarkOnce) {
    EXPECT_EQ(
        textWith(txtCsvImportTooMany, 2, {"/tmp/%2.csv", "3", "997", "999"}),
        "/tmp/%2.csv: its 3 chips and the grid's 997 are more than the catalogue holds (999)");
}
