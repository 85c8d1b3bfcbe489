// Key sets per base: sizes, the keys every base shares, and the keys no base accepts as
// they are (minus and separators are decided by the field's own rules).
#include <gtest/gtest.h>

#include "widgets/key_codes.h"

using namespace comsetup;

TEST(KeySets, SizePerBase) {
    EXPECT_EQ(ValidKeysFor(NumberBase::Decimal).count(), 50u);
    EXPECT_EQ(ValidKeysFor(NumberBase::Binary).count(), 34u);
    EXPECT_EQ(ValidKeysFor(NumberBase::Bcd).count(), 34u);
    EXPECT_EQ(ValidKeysFor(NumberBase::Hex).count(), 56u);
    EXPECT_EQ(ValidKeysFor(NumberBase::Octal).count(), 46u);
}

TEST(KeySets, EditingKeysInEveryBaseAndSignKeysInNone) {
    for (auto b : {NumberBase::Decimal, NumberBase::Binary, NumberBase::Hex, NumberBase::Octal,
                   NumberBase::Bcd}) {
        const KeySet set = ValidKeysFor(b);
        for (unsigned code :
             {8u, 13u, 16u, 17u, 18u, 20u, 27u, 33u, 36u, 37u, 40u, 45u, 46u, 112u, 123u, 144u})
            EXPECT_TRUE(Contains(set, code)) << code;
        for (unsigned code : {9u, 32u, 109u, 110u, 188u, 189u, 190u, 124u, 256u, 65535u})
            EXPECT_FALSE(Contains(set, code)) << code;
    }
}

TEST(KeySets, DigitsAndLettersFollowTheBase) {
    const KeySet octal = ValidKeysFor(NumberBase::Octal);
    EXPECT_TRUE(Contains(octal, '7'));
    EXPECT_FALSE(Contains(octal, '8'));
    EXPECT_TRUE(Contains(octal, vk::Numpad0 + 7));
    EXPECT_FALSE(Contains(octal, vk::Numpad0 + 8));
    const KeySet binary = ValidKeysFor(NumberBase::Binary);
    EXPECT_TRUE(Contains(binary, '1'));
    EXPECT_FALSE(Contains(binary, '2'));
    const KeySet hex = ValidKeysFor(NumberBase::Hex);
    EXPECT_TRUE(Contains(hex, 'F'));
    EXPECT_FALSE(Contains(hex, 'G'));
    EXPECT_FALSE(Contains(ValidKeysFor(NumberBase::Decimal), 'A'));
}
