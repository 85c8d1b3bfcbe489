// Switching bases: conversions with ConvertiValore, the reset to "0" without it, the two
// refusals with their messages, failed conversions leaving the old state whole, and the
// key set, flags, LastText and enabled state after a switch.
#include "tests/widgets/field_fixture.h"

using BaseTest = FieldTest;

namespace {

struct Snapshot {
    TRangeEdit::TBase base;
    QString text, lastText;
    bool enabled, noMinus, noSeparator;
    std::size_t keys;

    explicit Snapshot(const TRangeEdit& f)
        : base(f.Base()), text(f.text()), lastText(f.LastText()), enabled(f.isEnabled()),
          noMinus(f.NoMinus()), noSeparator(f.NoSeparator()), keys(f.ValidKeys().count()) {}
    bool operator==(const Snapshot&) const = default;
};

} // namespace

TEST_F(BaseTest, TwelveThroughEveryBaseAndBack) {
    field->SetConvertiValore(true);
    const std::pair<TRangeEdit::TBase, const char*> cases[] = {{TRangeEdit::Binario, "1100"},
                                                               {TRangeEdit::Esadecimale, "C"},
                                                               {TRangeEdit::Ottale, "14"},
                                                               {TRangeEdit::BCD, "10010"}};
    for (const auto& [base, shown] : cases) {
        field->setText("12");
        field->SetBase(base);
        EXPECT_EQ(field->text(), shown) << base;
        EXPECT_EQ(field->Base(), base);
        field->SetBase(TRangeEdit::Decimale);
        EXPECT_EQ(field->text(), "12") << base;
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(BaseTest, BetweenNonDecimalBases) {
    field->SetConvertiValore(true);
    field->setText("255");
    field->SetBase(TRangeEdit::Esadecimale);
    field->SetBase(TRangeEdit::Ottale);
    EXPECT_EQ(field->text(), "377");
    field->SetBase(TRangeEdit::Binario);
    EXPECT_EQ(field->text(), "11111111");
    field->SetBase(TRangeEdit::BCD);
    EXPECT_EQ(field->text(), "1001010101");
    field->SetBase(TRangeEdit::Esadecimale);
    EXPECT_EQ(field->text(), "FF");
}

TEST_F(BaseTest, FractionIsTruncatedAndZeroStaysZero) {
    field->SetConvertiValore(true);
    field->setText("12.7");
    field->SetBase(TRangeEdit::Binario);
    EXPECT_EQ(field->text(), "1100");
    field->SetBase(TRangeEdit::Decimale);
    field->setText("0");
    field->SetBase(TRangeEdit::BCD);
    EXPECT_EQ(field->text(), "0");
    field->SetBase(TRangeEdit::Decimale);
    EXPECT_EQ(field->text(), "0");
}

TEST_F(BaseTest, WithoutConversionEverySwitchShowsZero) {
    field->setText("12");
    field->SetBase(TRangeEdit::Esadecimale);
    EXPECT_EQ(field->text(), "0");
    field->setText("AB");
    field->SetBase(TRangeEdit::Esadecimale); // same base: still reset
    EXPECT_EQ(field->text(), "0");
}

TEST_F(BaseTest, SuccessfulSwitchInstallsKeysFlagsLastTextAndEnables) {
    field->SetConvertiValore(true);
    field->setText("12");
    field->setEnabled(false);
    field->SetBase(TRangeEdit::Ottale);
    EXPECT_TRUE(field->isEnabled());
    EXPECT_EQ(field->LastText(), "14");
    EXPECT_EQ(field->ValidKeys().count(), 46u);
    EXPECT_TRUE(field->NoMinus());
    EXPECT_TRUE(field->NoSeparator());
    field->SetBase(TRangeEdit::Decimale);
    EXPECT_EQ(field->ValidKeys().count(), 50u);
    EXPECT_FALSE(field->NoMinus());
    EXPECT_FALSE(field->NoSeparator());
}

TEST_F(BaseTest, NegativeValueCannotLeaveDecimal) {
    field->SetConvertiValore(true);
    field->setText("-5");
    field->setEnabled(false);
    const Snapshot before(*field);
    for (auto base :
         {TRangeEdit::Binario, TRangeEdit::Esadecimale, TRangeEdit::Ottale, TRangeEdit::BCD}) {
        messages.clear();
        field->SetBase(base);
        EXPECT_EQ(messages, QStringList{"Il valore deve essere positivo !!!!"});
        EXPECT_TRUE(Snapshot(*field) == before) << base;
    }
}

TEST_F(BaseTest, InvalidBcdCannotLeaveBcd) {
    field->SetConvertiValore(true);
    field->SetBase(TRangeEdit::BCD);
    field->setText("1111");
    const Snapshot before(*field);
    for (auto base :
         {TRangeEdit::Decimale, TRangeEdit::Binario, TRangeEdit::Esadecimale, TRangeEdit::Ottale}) {
        messages.clear();
        field->SetBase(base);
        EXPECT_EQ(messages, QStringList{"Codice BCD scorretto"});
        EXPECT_TRUE(Snapshot(*field) == before) << base;
    }
}

TEST_F(BaseTest, FailedConversionLeavesTheOldStateWhole) {
    field->SetConvertiValore(true);
    field->setEnabled(false);
    for (const char* shown : {"1E3", "99999999999", "1.5E20"}) {
        field->setText(shown);
        const Snapshot before(*field);
        messages.clear();
        field->SetBase(TRangeEdit::Binario);
        EXPECT_TRUE(Snapshot(*field) == before) << shown;
        EXPECT_EQ(field->Base(), TRangeEdit::Decimale);
        ASSERT_EQ(messages.size(), 1) << shown;
        EXPECT_TRUE(messages[0].endsWith("' is not a valid integer value")) << messages[0];
    }
}

TEST_F(BaseTest, LengthLimitOfTheNewBaseAppliesToTheConvertedText) {
    field->SetConvertiValore(true);
    field->SetLungBin(3);
    Retype("7");
    field->SetBase(TRangeEdit::Binario);
    EXPECT_EQ(field->text(), "111");
    field->SetBase(TRangeEdit::Decimale);
    Retype("8");
    field->SetBase(TRangeEdit::Binario); // "1000" is too long: the last accepted text stays
    EXPECT_EQ(field->text(), "8");
}

TEST_F(BaseTest, BaseCanBeSetByNameAsFromAForm) {
    EXPECT_TRUE(field->setProperty("Base", QVariant::fromValue(TRangeEdit::Esadecimale)));
    EXPECT_EQ(field->Base(), TRangeEdit::Esadecimale);
}
