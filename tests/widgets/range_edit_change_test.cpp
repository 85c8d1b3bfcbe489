// Normalisation of every text change: upper case while focused, the character filter,
// minus placement, the ",-" refusal, length limits, and the settled LastInt/LastFloat.
#include <QSignalSpy>
#include <QTimer>

#include "tests/widgets/field_fixture.h"

using ChangeTest = FieldTest;

TEST_F(ChangeTest, FocusedFieldSettlesTextsAsTheUserSeesThem) {
    ASSERT_TRUE(field->hasFocus());
    const std::pair<const char*, const char*> cases[] = {
        {"1x2", "12"}, {"1a", "1A"},   {"12-", "12"},  {"-5-", "-5"},    {"x y z", "0"},
        {"--3", "-3"}, {"1.5", "1.5"}, {"2,5", "2,5"}, {"1 000", "1000"}};
    for (const auto& [typed, settled] : cases) {
        field->setText(typed);
        EXPECT_EQ(field->text(), settled) << typed;
    }
}

TEST_F(ChangeTest, UpperCasingKeepsTheCaret) {
    field->setText("1");
    field->setCursorPosition(0);
    QTest::keyClicks(field, "2"); // typed at the front
    EXPECT_EQ(field->text(), "21");
    field->SetConvertiValore(false);
    field->SetBase(TRangeEdit::Esadecimale);
    field->setText("1");
    field->setCursorPosition(1);
    QTest::keyClicks(field, "ab");
    EXPECT_EQ(field->text(), "1AB");
    EXPECT_EQ(field->cursorPosition(), 3);
}

TEST_F(ChangeTest, UnfocusedFieldIsNotUpperCased) {
    other->setText("ab"); // no focus: both letters fail the filter, the empty field gets "0"
    EXPECT_EQ(other->text(), "0");
    other->setText("AB");
    EXPECT_EQ(other->text(), "AB");
}

TEST_F(ChangeTest, MinusAfterSeparatorPutsLastTextBackWithAFlash) {
    Retype("7");
    field->SetNormalColor(Qt::white);
    field->setText("-1.-");
    EXPECT_EQ(field->text(), "7");
    EXPECT_EQ(field->Color(), QColor(Qt::white)); // the flash is over
    field->setText("-3,-");
    EXPECT_EQ(field->text(), "7");
}

TEST_F(ChangeTest, FlashShowsErrorColorThenNormalColor) {
    field->SetNormalColor(Qt::white);
    QColor during;
    // A timer posted now runs inside the flash, while the field repaints.
    QTimer::singleShot(0, field, [&] { during = field->Color(); });
    field->FlashError();
    EXPECT_EQ(during, QColor(Qt::red));
    EXPECT_EQ(field->Color(), QColor(Qt::white));
}

TEST_F(ChangeTest, LengthLimitOfTheCurrentBaseOnly) {
    field->SetLungDec(3);
    Retype("123");
    EXPECT_EQ(field->text(), "123");
    QTest::keyClicks(field, "4");
    EXPECT_EQ(field->text(), "123");
    field->SetLungDec(0);
    field->SetLungBin(2); // another base's limit does not apply
    QTest::keyClicks(field, "4");
    EXPECT_EQ(field->text(), "1234");
}

TEST_F(ChangeTest, DeletingTheLastCharacterLeavesZero) {
    Retype("5");
    Click(Qt::Key_Backspace);
    EXPECT_EQ(field->text(), "0");
    EXPECT_EQ(field->LastInt(), 0);
}

TEST_F(ChangeTest, LastValuesFollowTheDecimalTextOnly) {
    field->setText("12.5");
    EXPECT_EQ(field->LastInt(), 12);
    EXPECT_DOUBLE_EQ(static_cast<double>(field->LastFloat()), 12.5);
    field->SetConvertiValore(true);
    field->SetBase(TRangeEdit::Binario);
    EXPECT_EQ(field->text(), "1100");
    EXPECT_EQ(field->LastInt(), 12); // kept from the decimal text
    EXPECT_DOUBLE_EQ(static_cast<double>(field->LastFloat()), 12.5);
}

TEST_F(ChangeTest, UserChangeHandlerRunsForEveryChange) {
    QSignalSpy spy(field, &TRangeEdit::OnChange);
    field->setText("1x");
    EXPECT_GE(spy.count(), 2); // the typed text, then the filtered one
    spy.clear();
    field->setText(field->text()); // equal text: nothing happens
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(ChangeTest, LongForeignPasteSettlesWithoutExhaustingTheStack) {
    ASSERT_GE(field->maxLength(), 30003);
    field->setText(QString(20000, 'x') + "12" + QString(10000, '-'));
    EXPECT_EQ(field->text(), "12");
    field->setText("-" + QString(30000, '-') + "7");
    EXPECT_EQ(field->text(), "-7");
}
