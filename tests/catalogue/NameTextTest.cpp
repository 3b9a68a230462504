#include "catalogue/NameText.h"
#include "base/IntegerText.h"

#include <gtest/gtest.h>

using namespace korvat;
using Items = std::vector<std::string>;

TEST(NameText, DelimitedSplitSeparatesAtCommasAndBlanks) {
    EXPECT_EQ(splitDelimited("25 flash,Winbond,W25Q64"),
              (Items{"25", "flash", "Winbond", "W25Q64"}));
    EXPECT_EQ(splitDelimited("  a , b\t,c  "), (Items{"a", "b", "c"}));
    EXPECT_EQ(splitDelimited("a,,b"), (Items{"a", "", "b"}));
    EXPECT_EQ(splitDelimited("a,"), (Items{"a", ""}));
    EXPECT_EQ(splitDelimited(""), Items{});
    EXPECT_EQ(splitDelimited("\"25 flash\",\"Win\"\"bond\",X"),
              (Items{"25 flash", "Win\"bond", "X"}));
    EXPECT_EQ(splitDelimited("\"open,ended"), (Items{"open,ended"}));
    EXPECT_EQ(splitDelimited(std::string_view("a,b\0c", 5)), (Items{"a", "b"}));
    // GBK or UTF-8 bytes are ordinary item bytes.
    EXPECT_EQ(splitDelimited("24系列,厂商,型号"), (Items{"24系列", "厂商", "型号"}));
}

TEST(NameText, SelectionTakesFirstThreeItemsTrimmed) {
    const NameParts p = splitForSelection("25 flash,Winbond,W25Q64");
    EXPECT_EQ(p.type, "25");
    EXPECT_EQ(p.maker, "flash"); // a blank splits the type
    EXPECT_EQ(p.model, "Winbond");
    const NameParts q = splitForSelection("SPI");
    EXPECT_EQ(q.type, "SPI");
    EXPECT_EQ(q.maker, "");
    EXPECT_EQ(q.model, "");
}

TEST(NameText, EditorCutsTwiceAtCommasOnly) {
    NameParts p = splitForEditor("25 flash,Winbond,W25Q64,rev B");
    EXPECT_EQ(p.type, "25 flash");
    EXPECT_EQ(p.maker, "Winbond");
    EXPECT_EQ(p.model, "W25Q64,rev B");
    p = splitForEditor("no comma");
    EXPECT_EQ(p.type, "");
    EXPECT_EQ(p.maker, "");
    EXPECT_EQ(p.model, "no comma");
    p = splitForEditor("T,model");
    EXPECT_EQ(p.type, "T");
    EXPECT_EQ(p.maker, "");
    EXPECT_EQ(p.model, "model");
    // Without blanks, quotes or extra commas both rules agree.
    const NameParts e = splitForEditor("SPI,Winbond,W25Q64");
    const NameParts s = splitForSelection("SPI,Winbond,W25Q64");
    EXPECT_EQ(e.type, s.type);
    EXPECT_EQ(e.maker, s.maker);
    EXPECT_EQ(e.model, s.model);
}

TEST(NameText, GbkAndUtf8ConvertBothWays) {
    const std::string gbk = "\xB2\xE2\xCA\xD4"; // 测试
    EXPECT_EQ(gbkToUtf8(gbk), "测试");
    EXPECT_EQ(utf8ToGbk("测试"), gbk);
    EXPECT_EQ(utf8ToGbk("25,Winbond,W25Q64"), "25,Winbond,W25Q64");
    EXPECT_EQ(gbkToUtf8(*utf8ToGbk("繁體")), "繁體");
}

TEST(NameText, BytesThatAreNotGbkStayVisible) {
    // 0xFF is never a GBK lead byte; a lone lead byte at the end is cut short.
    EXPECT_EQ(gbkToUtf8("A\xFF"
                        "B"),
              "A\xEF\xBF\xBD"
              "B");
    EXPECT_EQ(gbkToUtf8("AB\xB2"), "AB\xEF\xBF\xBD");
    // A character GBK cannot hold is refused rather than dropped.
    EXPECT_FALSE(utf8ToGbk("\xF0\x9F\x98\x80").has_value()); // an emoji
    EXPECT_FALSE(utf8ToGbk("\xEF\xBF\xBD").has_value());
    EXPECT_FALSE(utf8ToGbk("\xC3").has_value()); // broken UTF-8
}

TEST(IntegerText, DecimalHexadecimalSignsAndBlanks) {
    EXPECT_EQ(parseInteger("15679511"), 15679511);
    EXPECT_EQ(parseInteger("0xEF4017"), 15679511);
    EXPECT_EQ(parseInteger("0XEF4017"), 15679511);
    EXPECT_EQ(parseInteger("xef4017"), 15679511);
    EXPECT_EQ(parseInteger("$1F"), 31);
    EXPECT_EQ(parseInteger("  -12"), -12);
    EXPECT_EQ(parseInteger("+7"), 7);
    EXPECT_EQ(parseInteger("-$10"), -16);
    EXPECT_EQ(parseInteger("0xFFFFFFFF"), 0xFFFFFFFFLL);
    EXPECT_EQ(parseInteger("-2147483648"), -2147483648LL);
}

TEST(IntegerText, EverythingElseIsRefused) {
    for (const char *bad : {"", " ", "-", "0x", "$", "12a", "1 2", "12 ", "0x1G", "abc", "1.5",
                            "0x100000000", "4294967296", "-2147483649", "99999999999999999999999"})
        EXPECT_FALSE(parseInteger(bad).has_value()) << bad;
    EXPECT_EQ(notAnIntegerMessage("abc"), "'abc' is not a valid integer value");
}
