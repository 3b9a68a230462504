#include "ops/SerialNumbers.h"

#include <gtest/gtest.h>

using namespace korvat;

TEST(SerialNumbers, BinaryBothWaysAndDecimalDigits) {
    SerialNumbers s;
    s.bytes = 4;
    EXPECT_EQ(serialBytes(0x01020304, s), std::string("\x04\x03\x02\x01", 4));
    s.format = "be";
    EXPECT_EQ(serialBytes(0x01020304, s), std::string("\x01\x02\x03\x04", 4));
    s.bytes = 2; // the low bytes of a wider number
    EXPECT_EQ(serialBytes(0x01020304, s), std::string("\x03\x04", 2));
    s.format = "le";
    s.bytes = 10; // wider than the number: zeros
    EXPECT_EQ(serialBytes(0xFF, s), std::string("\xFF\0\0\0\0\0\0\0\0\0", 10));
    s.format = "ascii";
    s.bytes = 6;
    EXPECT_EQ(serialBytes(100, s), "000100");
    s.bytes = 2;
    EXPECT_EQ(serialBytes(12345, s), "45");
}

// A number that no longer fits its bytes would repeat an earlier chip's: there is none.
TEST(SerialNumbers, TheNumbersEndWhereTheyNoLongerFit) {
    SerialNumbers s;
    s.start = 100;
    s.step = 50;
    s.bytes = 1;
    EXPECT_EQ(serialNumberAfter(0, s), 100u);
    EXPECT_EQ(serialNumberAfter(3, s), 250u);
    EXPECT_EQ(serialNumberAfter(4, s), std::nullopt); // 300 > 0xFF
    s.format = "ascii";
    s.bytes = 3;
    EXPECT_EQ(serialNumberAfter(17, s), 950u);
    EXPECT_EQ(serialNumberAfter(18, s), std::nullopt); // 1000: four digits
    s.format = "be";
    s.bytes = 8;
    s.start = ~0ull - 10;
    s.step = 5;
    EXPECT_EQ(serialNumberAfter(2, s), ~0ull);
    EXPECT_EQ(serialNumberAfter(3, s), std::nullopt); // past 64 bits
    s.step = 0;
    EXPECT_EQ(serialNumberAfter(1000000, s), ~0ull - 10);
}
