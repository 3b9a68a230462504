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
