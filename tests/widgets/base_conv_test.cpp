// Number-base conversions: known values, the round trips the field relies on, and the
// texts that must fail with the user's message.
#include <gtest/gtest.h>

#include "widgets/base_conv.h"

using namespace comsetup;

TEST(BaseConversions, WriteTwelveInEveryBase) {
    EXPECT_EQ(IntToBin(12), "1100");
    EXPECT_EQ(IntToHex(12), "C");
    EXPECT_EQ(BinToOct(IntToBin(12)), "14");
    EXPECT_EQ(DecToBCD("12"), "10010");
}

TEST(BaseConversions, SmallAndBoundaryValues) {
    EXPECT_EQ(IntToBin(0), "0");
    EXPECT_EQ(IntToBin(1), "1");
    EXPECT_EQ(IntToBin(2), "10");
    EXPECT_EQ(IntToBin(-3), "-3"); // below 2: its decimal text
    EXPECT_EQ(IntToBin(2147483647), std::string(31, '1'));
    EXPECT_EQ(IntToHex(0), "0");
    EXPECT_EQ(IntToHex(255), "FF");
    EXPECT_EQ(IntToHex(-1), "FFFFFFFF");
    EXPECT_EQ(DecToBCD("0"), "0");
    EXPECT_EQ(DecToBCD("-9.1"), "10010001"); // sign and separator skipped
}

TEST(BaseConversions, ReadBackToIntegers) {
    EXPECT_EQ(BinToInt("1100"), 12);
    EXPECT_EQ(BinToInt(""), 0);
    EXPECT_EQ(BinToInt("0001"), 1);
    EXPECT_EQ(BinToInt("12"), 4); // digits above 1 count at their value
    EXPECT_EQ(BinToInt(std::string(32, '1')), -1);
    EXPECT_EQ(BinToInt("1" + std::string(32, '0')), 0); // 32-bit arithmetic
}

TEST(BaseConversions, OctalGroups) {
    EXPECT_EQ(BinToOct("1000"), "10");
    EXPECT_EQ(BinToOct("11"), "3");
    EXPECT_EQ(BinToOct("111111"), "77");
    EXPECT_EQ(BinToOct("1000000"), "100");
    EXPECT_EQ(BinToOct("0000"), "00"); // leading zeros of the result stay
    EXPECT_EQ(BinToOct(""), "");
    EXPECT_EQ(OctToBin("14"), "1100");
    EXPECT_EQ(OctToBin("0"), "0");
    EXPECT_EQ(OctToBin("7x9"), "111"); // other characters skipped
}

TEST(BaseConversions, HexadecimalGroups) {
    EXPECT_EQ(HexToBin("a"), "1010");
    EXPECT_EQ(HexToBin("FF"), "11111111");
    EXPECT_EQ(HexToBin("0C"), "1100");
    EXPECT_EQ(HexToBin("G-1"), "1");
    EXPECT_EQ(HexToBin(""), "0");
}

TEST(BaseConversions, BcdGroupsAndInvalidGroups) {
    EXPECT_EQ(BCDToDec("10010"), "12");
    EXPECT_EQ(BCDToDec("00000001"), "01");
    EXPECT_EQ(BCDToDec("1111"), "E");
    EXPECT_EQ(BCDToDec("10011010"), "9E");
    EXPECT_EQ(BCDToDec(""), "");
    EXPECT_EQ(BCDToDec("0"), "0");
}

TEST(BaseConversions, StripZeros) {
    EXPECT_EQ(StripZeros("000"), "0");
    EXPECT_EQ(StripZeros(""), "0");
    EXPECT_EQ(StripZeros("00120"), "120");
}

TEST(BaseConversions, RoundTripsThroughEveryBase) {
    for (int n : {0, 1, 7, 8, 9, 10, 12, 99, 100, 255, 4095, 65536, 1234567}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(BinToInt(IntToBin(n)), n);
        EXPECT_EQ(BinToInt(HexToBin(IntToHex(n))), n);
        EXPECT_EQ(BinToInt(OctToBin(BinToOct(IntToBin(n)))), n);
        EXPECT_EQ(StrToInt32(BCDToDec(DecToBCD(IntToDec(n)))), n);
    }
}

TEST(BaseConversions, NonDigitsFailWithTheUsersMessage) {
    try {
        BinToInt("1x");
        FAIL() << "no error";
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
    }
    EXPECT_THROW(BinToOct("1A"), ConversionError);
    EXPECT_THROW(BCDToDec("10-1"), ConversionError);
}

TEST(DecimalIntegerText, AcceptsOnlySignAndDigitsWithinThirtyTwoBits) {
    EXPECT_EQ(StrToInt32("12"), 12);
    EXPECT_EQ(StrToInt32("-12"), -12);
    EXPECT_EQ(StrToInt32("+7"), 7);
    EXPECT_EQ(StrToInt32("007"), 7);
    EXPECT_EQ(StrToInt32("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt32("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", "-", "1E3", "1.5", " 1", "12a", "2147483648", "-2147483649"}) {
        SCOPED_TRACE(bad);
        try {
            StrToInt32(bad);
            ADD_FAILURE() << "accepted";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.what(), "'" + std::string(bad) + "' is not a valid integer value");
        }
    }
}
