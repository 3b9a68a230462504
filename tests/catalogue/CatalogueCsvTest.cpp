#include "catalogue/CatalogueCsv.h"

#include <gtest/gtest.h>

using namespace korvat;

namespace {

const std::string kHeader(kCatalogueCsvHeader);
const std::string kLine = "25,W,X,0x1,64,1,0,0,100,0,0,0,0\n";

GridRow chip(std::string type, std::string maker, std::string model) {
    return {std::move(type),
            std::move(maker),
            std::move(model),
            "0xEF4017",
            "8388608",
            "256",
            "0",
            "0",
            "100",
            "0",
            "0",
            "4",
            "0"};
}

} // namespace

TEST(CatalogueCsv, ReadsRowsAndRefusesMalformedLines) {
    const CatalogueCsv ok = parseCatalogueCsv("\xEF\xBB\xBF" + kHeader + "\r\n" + kLine + "\n");
    ASSERT_EQ(ok.error, "");
    ASSERT_EQ(ok.rows.size(), 1u);
    EXPECT_EQ(ok.rows[0][2], "X");
    EXPECT_EQ(ok.rows[0][12], "0");

    EXPECT_EQ(parseCatalogueCsv("type,maker\n").error.rfind("line 1: the header", 0), 0u);
    EXPECT_EQ(parseCatalogueCsv("").error.rfind("line 1: the header", 0), 0u);
    EXPECT_EQ(parseCatalogueCsv(kHeader + "\n25,W,X,0x1\n").error, "line 2: 4 cells, not 13");
    EXPECT_EQ(parseCatalogueCsv(kHeader + "\n25,W,X,0x1,64,1,0,0,100,0,0,0,0,extra\n").error,
              "line 2: 14 cells, not 13");
}

// The whole file or nothing: the first bad line and column are named, and no row of the
// lines before it is returned.
TEST(CatalogueCsv, RefusesARowTheCatalogueCannotHoldNamingLineAndColumn) {
    const struct {
        std::string line;
        std::string error;
    } cases[] = {
        {"25,W,X,zz,64,1,0,0,100,0,0,0,0",
         "line 4, column chip_id: 'zz' is not a valid integer value"},
        {"25,W,X,0x1,64,1,0,0,70000,0,0,0,0",
         "line 4, column delay: 70000 does not fit the field (0 to 65535)."},
        {"25,W,X,0x1000000,64,1,0,0,100,0,0,0,0",
         "line 4, column chip_id: 0x1000000 does not fit the field (0 to 16777215)."},
        {"25,W,X,0x1,64,1,0,0,100,0,0,256,0",
         "line 4, column eeprom_page: 256 does not fit the field (0 to 255)."},
        {"25,W," + std::string(44, 'M') + ",0x1,64,1,0,0,100,0,0,0,0",
         "line 4, column model: the name \"25,W," + std::string(44, 'M') +
             "\" is longer than 47 bytes."},
        {"25,W\xC5\x91,X,0x1,64,1,0,0,100,0,0,0,0", // U+0151 has no GBK code
         "line 4, column maker: the name \"25,W\xC5\x91,X\" holds characters that cannot be "
         "stored."},
        {"\"25,W,X,0x1,64,1,0,0,100,0,0,0,0", "line 4: a quoted cell is not closed where it "
                                              "should be"},
        // A comma in the maker would read back as another maker and model.
        {"25,\"Maker, Inc\",X,0x1,64,1,0,0,100,0,0,0,0",
         "line 4, column maker: the name \"25,Maker, Inc,X\" cannot hold a comma here."},
        {"25,Acme Corp,X,0x1,64,1,0,0,100,0,0,0,0",
         "line 4, column maker: the name \"25,Acme Corp,X\" cannot hold a blank."},
        {"25,W,X,0x1,134217728,1,0,0,100,0,0,0,0",
         "line 4, column flash_size: 134217728 does not fit the 64 MiB FLASH buffer (0 to "
         "67108864)."},
        {std::string("25,W,X\0Y,0x1,64,1,0,0,100,0,0,0,0", 34),
         "line 4, column model: the name \"25,W,X" + std::string(1, '\0') +
             "Y\" cannot hold a zero byte."},
    };
    for (const auto &c : cases) {
        const CatalogueCsv csv =
            parseCatalogueCsv(kHeader + "\n" + kLine + "\n" + c.line + "\n" + kLine);
        EXPECT_EQ(csv.error, c.error);
        EXPECT_TRUE(csv.rows.empty());
    }
}

TEST(CatalogueCsv, HoldsAtMost999Chips) {
    std::string text = kHeader + "\n";
    for (int i = 0; i < 999; ++i)
        text += kLine;
    EXPECT_EQ(parseCatalogueCsv(text).rows.size(), 999u);
    EXPECT_EQ(parseCatalogueCsv(text + kLine).error,
              "line 1001: more chips than the catalogue holds (999)");
}

// A name cell may hold a line break around the name (the save trims it): it is quoted on
// the way out and read back as it was, with the line numbers of the lines after it still
// right. A comma or a quote is quoted too, and the row check then refuses it.
TEST(CatalogueCsv, WriterQuotesWhatNeedsItAndTheReaderGivesTheSameRows) {
    const std::vector<GridRow> rows = {chip("25", "Winbond", "W25Q64"), chip("25", "", "W25Q80\n"),
                                       chip(" 24 ", "X", "")};
    const std::string text = writeCatalogueCsv(rows);
    EXPECT_EQ(text.substr(0, kHeader.size() + 1), kHeader + "\n");
    EXPECT_NE(text.find("25,,\"W25Q80\n\",0xEF4017,"), std::string::npos) << text;
    const CatalogueCsv back = parseCatalogueCsv(text);
    ASSERT_EQ(back.error, "");
    EXPECT_EQ(back.rows, rows);

    const std::string quotes = writeCatalogueCsv({chip("25", "", "A,B \"fast\"")});
    EXPECT_NE(quotes.find("25,,\"A,B \"\"fast\"\"\",0xEF4017,"), std::string::npos) << quotes;
    EXPECT_EQ(parseCatalogueCsv(quotes).error,
              "line 2, column model: the name \"25,,A,B \"fast\"\" cannot hold a comma here.");

    GridRow broken = chip("25", "W", "W25Q64\n");
    broken[3] = "bad";
    const CatalogueCsv refused =
        parseCatalogueCsv(writeCatalogueCsv({broken, chip("a", "b", "c")}));
    EXPECT_EQ(refused.error.rfind("line 2, column chip_id", 0), 0u) << refused.error;
    GridRow after = chip("a", "b", "c");
    after[5] = "x";
    EXPECT_EQ(parseCatalogueCsv(writeCatalogueCsv({chip("25", "W", "W25Q64\n"), after})).error,
              "line 4, column flash_page: 'x' is not a valid integer value");
    EXPECT_EQ(writeCatalogueCsv({}), kHeader + "\n");
}
