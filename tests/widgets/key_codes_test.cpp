// Key sets per base: the digits each takes, the keys every base shares, and the keys no base
// accepts as they are (minus and separators are decided by the field's own rules).
#include <gtest/gtest.h>

#include "widgets/key_codes.h"

#include <utility>

using namespace comsetup;

TEST(KeySets, EditingKeysInEveryBaseAndSignKeysInNone) {
    for (auto b : {Decimale, Binario, Esadecimale, Ottale, BCD}) {
        const KeySet set = ValidKeysFor(b);
        for (unsigned code :
             {8u, 13u, 16u, 17u, 18u, 20u, 27u, 33u, 36u, 37u, 40u, 45u, 46u, 112u, 123u, 144u})
            EXPECT_TRUE(Contains(set, code)) << code;
        for (unsigned code : {9u, 32u, 109u, 110u, 188u, 189u, 190u, 124u, 256u, 65535u})
            EXPECT_FALSE(Contains(set, code)) << code;
    }
}

// Every digit key, on the main block and the keypad, is taken exactly when the digit is below
// the base's radix (BCD digits are typed as bits); no letter past F in any base.
TEST(KeySets, DigitsAndLettersFollowTheBase) {
    const std::pair<TBase, unsigned> radixes[] = {
        {Decimale, 10}, {Binario, 2}, {BCD, 2}, {Esadecimale, 16}, {Ottale, 8}};
    for (const auto& [base, radix] : radixes) {
        const KeySet set = ValidKeysFor(base);
        for (unsigned digit = 0; digit < 16; ++digit) {
            const unsigned key = digit < 10 ? vk::Key0 + digit : vk::KeyA + digit - 10;
            EXPECT_EQ(Contains(set, key), digit < radix) << radix << " digit " << digit;
            if (digit < 10) {
                EXPECT_EQ(Contains(set, vk::Numpad0 + digit), digit < radix)
                    << radix << " keypad " << digit;
            }
        }
        for (unsigned letter = 'G'; letter <= vk::KeyZ; ++letter) {
            EXPECT_FALSE(Contains(set, letter)) << radix << " " << static_cast<char>(letter);
        }
    }
}
