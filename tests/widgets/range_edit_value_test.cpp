// Reading and writing the value: GetValue rounding and fallbacks, the range in force,
// GetFloatValue, SetValue, the locale separator, defaults and property setters.
#include <QSignalSpy>

#include "tests/widgets/field_fixture.h"

using ValueTest = FieldTest;

TEST_F(ValueTest, DefaultsOfANewField) {
    TRangeEdit f;
    EXPECT_EQ(f.text(), "0");
    EXPECT_EQ(f.LastText(), "0");
    EXPECT_EQ(f.LastInt(), 0);
    EXPECT_EQ(f.Minval(), 0);
    EXPECT_EQ(f.MaxVal(), 0);
    EXPECT_EQ(f.Base(), TRangeEdit::Decimale);
    EXPECT_EQ(f.NumDec(), 3);
    EXPECT_EQ(f.FormatMask(), "0.###");
    EXPECT_FALSE(f.IsInteger());
    EXPECT_FALSE(f.ConvertiValore());
    EXPECT_FALSE(f.NoMinus());
    EXPECT_FALSE(f.NoSeparator());
    EXPECT_EQ(f.ErrorColor(), QColor(Qt::red));
    EXPECT_EQ(f.NormalColor(), f.palette().color(QPalette::Button));
    EXPECT_EQ(f.Color(), f.NormalColor());
    EXPECT_EQ(f.ValidKeys().count(), 50u);
}

TEST_F(ValueTest, GetValueRoundsTiesTowardMinusInfinity) {
    field->SetMinval(-10);
    field->SetMaxVal(10);
    const std::pair<const char*, int> cases[] = {{"2.5", 2},   {"2.6", 3}, {"-2.5", -3},
                                                 {"-2.4", -2}, {"7", 7},   {"2,5", 2}};
    for (const auto& [text, expected] : cases) {
        field->setText(text);
        EXPECT_EQ(field->GetValue(), expected) << text;
    }
}

TEST_F(ValueTest, GetValueKeepsTheLastInRangeValue) {
    ByteField();
    field->setText("192");
    field->setText("300");
    EXPECT_EQ(field->GetValue(), 192);
    EXPECT_EQ(field->LastInt(), 192);
    field->setText("-1");
    EXPECT_EQ(field->GetValue(), 192);
    field->setText("255"); // bounds inclusive
    EXPECT_EQ(field->GetValue(), 255);
    field->setText("0");
    EXPECT_EQ(field->GetValue(), 0);
}

TEST_F(ValueTest, PortFieldAcceptsItsUpperBound) {
    field->SetMaxVal(65536);
    field->setText("65536");
    EXPECT_EQ(field->GetValue(), 65536);
    field->setText("65537");
    EXPECT_EQ(field->GetValue(), 65536);
}

TEST_F(ValueTest, NoRangeWhenBothBoundsAreZero) {
    field->setText("-40000");
    EXPECT_EQ(field->GetValue(), -40000);
    EXPECT_EQ(field->GetFloatValue(), -40000);
}

TEST_F(ValueTest, RangeInForceWhenOnlyOneBoundIsZeroOrBothAreEqual) {
    field->SetMinval(-5);
    EXPECT_TRUE(field->RangeInForce());
    field->setText("-3");
    EXPECT_EQ(field->GetValue(), -3);
    field->setText("1"); // above MaxVal 0
    EXPECT_EQ(field->GetValue(), -3);
    field->SetMinval(7);
    field->SetMaxVal(7);
    EXPECT_TRUE(field->RangeInForce());
    field->setText("7");
    EXPECT_EQ(field->GetValue(), 7);
    field->setText("8");
    EXPECT_EQ(field->GetValue(), 7);
}

TEST_F(ValueTest, EmptyFieldReadsAsZeroAndShowsIt) {
    field->setText("12");
    field->clear(); // Change itself refills the field with "0"
    EXPECT_EQ(field->text(), "0");
    EXPECT_EQ(field->GetValue(), 0);
    EXPECT_EQ(field->GetFloatValue(), 0);
}

TEST_F(ValueTest, BareSignReturnsLastValueAndStaysInPlace) {
    field->setText("42");
    for (const char* bare : {"-", "-.", "-,", ".", ","}) {
        field->setText(bare);
        EXPECT_EQ(field->GetValue(), 42) << bare;
        EXPECT_EQ(field->GetFloatValue(), 42) << bare;
        EXPECT_EQ(field->text(), bare);
    }
}

TEST_F(ValueTest, TextThatIsNoNumberFallsBackToLastTextThenLastInt) {
    Retype("34"); // accepted keys record LastText
    field->setText("56");
    field->setText("1.2.3");
    EXPECT_EQ(field->GetValue(), 34); // from LastText, not the 56 shown before
    Click(Qt::Key_End);               // an accepted key records the unreadable text as LastText
    EXPECT_EQ(field->LastText(), "1.2.3");
    EXPECT_EQ(field->GetValue(), 34); // from LastInt
    // The real reader falls back to LastFloat alone, which the 56 left behind.
    EXPECT_DOUBLE_EQ(static_cast<double>(field->GetFloatValue()), 56.0);
}

TEST_F(ValueTest, GetFloatValueRoundsToNumDecAndFallsBack) {
    field->setText("1.23456");
    EXPECT_DOUBLE_EQ(static_cast<double>(field->GetFloatValue()), 1.235);
    field->SetNumDec(1);
    EXPECT_DOUBLE_EQ(static_cast<double>(field->GetFloatValue()), 1.2);
    field->SetMaxVal(100);
    field->setText("50.5");
    field->setText("150");
    EXPECT_DOUBLE_EQ(static_cast<double>(field->GetFloatValue()), 50.5);
    EXPECT_DOUBLE_EQ(static_cast<double>(field->LastFloat()), 50.5);
}

TEST_F(ValueTest, SetValueWritesTheShortestForm) {
    field->SetValue(192);
    EXPECT_EQ(field->text(), "192");
    EXPECT_EQ(field->GetFloatValue(), 192);
    EXPECT_EQ(field->LastInt(), 192);
    field->SetValue(1.5L);
    EXPECT_EQ(field->text(), "1.5");
    field->SetValue(-0.25L);
    EXPECT_EQ(field->text(), "-0.25");
    field->SetValue(0.1L + 0.2L);
    EXPECT_EQ(field->text(), "0.3");
}

TEST_F(ValueTest, CommaLocaleReadsAndWritesWithComma) {
    comsetup::ScopedDecimalSeparator comma(QChar(','));
    field->SetValue(1.5L);
    EXPECT_EQ(field->text(), "1,5");
    field->SetMinval(-10);
    field->SetMaxVal(10);
    field->setText("2,6");
    EXPECT_EQ(field->GetValue(), 3);
    field->setText("2.6"); // the user may type '.' as well
    EXPECT_EQ(field->GetValue(), 3);
    EXPECT_DOUBLE_EQ(static_cast<double>(field->GetFloatValue()), 2.6);
}

TEST_F(ValueTest, SettersOfNumDecAndLengths) {
    field->SetNumDec(20);
    EXPECT_EQ(field->NumDec(), 20);
    EXPECT_EQ(field->FormatMask(), "0." + QString(17, '#'));
    field->SetLungDec(3);
    field->SetLungDec(-1);
    EXPECT_EQ(field->LungDec(), 3);
    field->SetLungBin(4);
    field->SetLungBin(-2);
    field->SetLungEsa(4);
    field->SetLungEsa(-2);
    field->SetLungOct(4);
    field->SetLungOct(-2);
    field->SetLungBCD(4);
    field->SetLungBCD(-2);
    EXPECT_EQ(field->LungBin(), 4);
    EXPECT_EQ(field->LungEsa(), 4);
    EXPECT_EQ(field->LungOct(), 4);
    EXPECT_EQ(field->LungBCD(), 4);
}

TEST_F(ValueTest, PropertiesCanBeSetByNameAsFromAForm) {
    EXPECT_TRUE(field->setProperty("MaxVal", 255.0));
    EXPECT_TRUE(field->setProperty("Minval", 1.0));
    EXPECT_TRUE(field->setProperty("NormalColor", QColor(Qt::white)));
    EXPECT_TRUE(field->setProperty("IsInteger", true));
    EXPECT_TRUE(field->setProperty("NumDec", 2));
    EXPECT_TRUE(field->setProperty("LungDec", 5));
    EXPECT_EQ(field->MaxVal(), 255);
    EXPECT_EQ(field->Minval(), 1);
    EXPECT_EQ(field->NormalColor(), QColor(Qt::white));
    EXPECT_EQ(field->Color(), QColor(Qt::white)); // repainted at once
    EXPECT_TRUE(field->IsInteger());
    EXPECT_EQ(field->FormatMask(), "0.##");
    EXPECT_EQ(field->LungDec(), 5);
}

TEST_F(ValueTest, ColorIsTheShownBackground) {
    field->SetColor(Qt::yellow);
    EXPECT_EQ(field->palette().color(QPalette::Base), QColor(Qt::yellow));
}
