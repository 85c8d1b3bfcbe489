// Decimal texts: parsing with either separator, the mask formatting and its rounding, the
// general form, the field's integer rounding, separator adaptation and the leading number.
#include <gtest/gtest.h>

#include "widgets/decimal_text.h"

using namespace comsetup;

TEST(ParseReal, ReadsSignDigitsOneSeparatorAndExponent) {
    EXPECT_EQ(ParseReal("12", '.'), 12.0L);
    EXPECT_EQ(ParseReal("-2.5", '.'), -2.5L);
    EXPECT_EQ(ParseReal("+3", '.'), 3.0L);
    EXPECT_EQ(ParseReal(".5", '.'), 0.5L);
    EXPECT_EQ(ParseReal("5.", '.'), 5.0L);
    EXPECT_EQ(ParseReal("1E3", '.'), 1000.0L);
    EXPECT_EQ(ParseReal("1.5e-1", '.'), 0.15L);
    EXPECT_EQ(ParseReal(" 7 ", '.'), 7.0L);
}

TEST(ParseReal, UsesOnlyTheGivenSeparator) {
    EXPECT_EQ(ParseReal("1,5", ','), 1.5L);
    EXPECT_FALSE(ParseReal("1,5", '.'));
    EXPECT_FALSE(ParseReal("1.5", ','));
}

TEST(ParseReal, RefusesTextsThatAreNoNumber) {
    for (const char* bad :
         {"", "-", ".", "-.", ",", "1.2.3", "12A", "1E", "E3", "--1", "1-", "1E99999", "0x10"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseReal(bad, '.'));
    }
}

TEST(FormatDecimals, RoundsToTheMaskAndDropsTrailingZeros) {
    EXPECT_EQ(FormatDecimals(1.23456L, 3, '.'), "1.235");
    EXPECT_EQ(FormatDecimals(1.50L, 3, '.'), "1.5");
    EXPECT_EQ(FormatDecimals(7.0L, 3, '.'), "7");
    EXPECT_EQ(FormatDecimals(0.5L, 3, '.'), "0.5");
    EXPECT_EQ(FormatDecimals(-0.25L, 3, '.'), "-0.25");
    EXPECT_EQ(FormatDecimals(1.23456L, 3, ','), "1,235");
    EXPECT_EQ(FormatDecimals(65536.0L, 3, '.'), "65536");
    EXPECT_EQ(FormatDecimals(0.0L, 3, '.'), "0");
}

TEST(FormatDecimals, RoundsHalfAwayFromZeroOnTheDecimalDigits) {
    EXPECT_EQ(FormatDecimals(1.0005L, 3, '.'), "1.001");
    EXPECT_EQ(FormatDecimals(-1.0005L, 3, '.'), "-1.001");
    EXPECT_EQ(FormatDecimals(2.5L, 0, '.'), "3");
    EXPECT_EQ(FormatDecimals(9.9996L, 3, '.'), "10");
    EXPECT_EQ(FormatDecimals(999.9999L, 3, '.'), "1000");
    EXPECT_EQ(FormatDecimals(0.0004L, 3, '.'), "0");
    EXPECT_EQ(FormatDecimals(-0.0004L, 3, '.'), "0"); // no sign on a rounded zero
    EXPECT_EQ(FormatDecimals(0.00001L, 3, '.'), "0");
}

TEST(FormatDecimals, DecimalsAboveSeventeenAreCapped) {
    EXPECT_EQ(FormatDecimals(0.1L, 20, '.'), FormatDecimals(0.1L, 17, '.'));
    EXPECT_EQ(FormatMaskFor(3), "0.###");
    EXPECT_EQ(FormatMaskFor(0), "0.");
    EXPECT_EQ(FormatMaskFor(20), "0." + std::string(17, '#'));
}

TEST(FormatGeneral, ShortestFormUpToFifteenDigits) {
    EXPECT_EQ(FormatGeneral(255, '.'), "255");
    EXPECT_EQ(FormatGeneral(1.5L, '.'), "1.5");
    EXPECT_EQ(FormatGeneral(1.5L, ','), "1,5");
    EXPECT_EQ(FormatGeneral(-40000, '.'), "-40000");
    EXPECT_EQ(FormatGeneral(0, '.'), "0");
    EXPECT_EQ(FormatGeneral(0.1L, '.'), "0.1");
    EXPECT_EQ(FormatGeneral(1.0L / 3, '.'), "0.333333333333333");
    EXPECT_EQ(FormatGeneral(0.0001L, '.'), "0.0001");
    EXPECT_EQ(FormatGeneral(999999999999999.0L, '.'), "999999999999999");
}

TEST(FormatGeneral, ExponentFormOnlyForExtremeMagnitudes) {
    EXPECT_EQ(FormatGeneral(0.00001L, '.'), "1E-5");
    EXPECT_EQ(FormatGeneral(1e15L, '.'), "1E15");
    EXPECT_EQ(FormatGeneral(-1.5e20L, '.'), "-1.5E20");
    EXPECT_EQ(FormatGeneral(1.5e20L, ','), "1,5E20");
}

TEST(RoundToField, TiesGoTowardMinusInfinity) {
    EXPECT_EQ(RoundToField(2.5L), 2);
    EXPECT_EQ(RoundToField(2.6L), 3);
    EXPECT_EQ(RoundToField(2.4L), 2);
    EXPECT_EQ(RoundToField(-2.5L), -3);
    EXPECT_EQ(RoundToField(-2.4L), -2);
    EXPECT_EQ(RoundToField(-2.6L), -3);
    EXPECT_EQ(RoundToField(0.5L), 0);
    EXPECT_EQ(RoundToField(-0.5L), -1);
    EXPECT_EQ(RoundToField(255.0L), 255);
}

TEST(RoundToField, OutsideSixtyFourBitsIsNoResultAndWideValuesKeepLowBits) {
    EXPECT_FALSE(RoundToField(1e19L));
    EXPECT_FALSE(RoundToField(-1e19L));
    EXPECT_FALSE(RoundToField(std::numeric_limits<long double>::infinity()));
    EXPECT_FALSE(RoundToField(std::numeric_limits<long double>::quiet_NaN()));
    EXPECT_EQ(RoundToField(4294967296.0L + 5), 5);
    EXPECT_EQ(RoundToField(2147483648.0L), -2147483647 - 1);
}

TEST(AdaptSeparator, ReplacesTheFirstForeignSeparatorOnly) {
    std::string s = "1.5";
    EXPECT_EQ(AdaptSeparator(s, ','), '.');
    EXPECT_EQ(s, "1,5");
    s = "1,5";
    EXPECT_EQ(AdaptSeparator(s, '.'), ',');
    EXPECT_EQ(s, "1.5");
    s = "1.5";
    EXPECT_EQ(AdaptSeparator(s, '.'), '\0');
    EXPECT_EQ(s, "1.5");
    s = "1.2,3"; // a '.' that already is the separator: the ',' is not touched
    EXPECT_EQ(AdaptSeparator(s, '.'), '\0');
    EXPECT_EQ(s, "1.2,3");
    s = "1.2.3";
    EXPECT_EQ(AdaptSeparator(s, ','), '.');
    EXPECT_EQ(s, "1,2.3");
}

TEST(LeadingNumber, CutsAtTheFirstCharacterThatEndsTheNumber) {
    EXPECT_EQ(LeadingNumber("12AB"), "12");
    EXPECT_EQ(LeadingNumber("-1.5.2"), "-1.5");
    EXPECT_EQ(LeadingNumber("1,5.2"), "1,5");
    EXPECT_EQ(LeadingNumber(".5"), ".5");
    EXPECT_EQ(LeadingNumber("..5"), ".");
    EXPECT_EQ(LeadingNumber("A12"), "12"); // a foreign first character is dropped
    EXPECT_EQ(LeadingNumber("1-2"), "1");
    EXPECT_EQ(LeadingNumber("-"), "-");
    EXPECT_EQ(LeadingNumber(""), "");
}
