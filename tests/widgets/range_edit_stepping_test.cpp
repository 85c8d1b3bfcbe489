// Up/Down stepping with the modifier combinations, the range clamp, the cut to the leading
// number, the user's separator surviving, the other bases, and unreadable texts.
#include <QAction>

#include "tests/widgets/field_fixture.h"

using SteppingTest = FieldTest;

TEST_F(SteppingTest, StepSizesFollowTheModifiersAndTheRangeClamps) {
    ByteField();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* result;
    } cases[] = {
        {Qt::Key_Up, Qt::NoModifier, "193"},
        {Qt::Key_Down, Qt::AltModifier, "182"},
        {Qt::Key_Up, Qt::ControlModifier, "255"},
        {Qt::Key_Down, Qt::ControlModifier | Qt::AltModifier, "0"},
        {Qt::Key_Up, Qt::ShiftModifier, "193"},
        {Qt::Key_Down, Qt::ShiftModifier | Qt::AltModifier, "191"},
    };
    for (const auto& c : cases) {
        field->setText("192");
        QTest::keyClick(field, c.key, c.mods);
        EXPECT_EQ(field->text(), c.result) << c.key << " " << c.mods;
        EXPECT_EQ(field->LastText(), c.result);
        EXPECT_EQ(field->Color(), field->NormalColor());
    }
}

TEST_F(SteppingTest, WithoutRangeGoesNegativeAndByThousands) {
    field->setText("5");
    QTest::keyClick(field, Qt::Key_Down, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(field->text(), "-995");
    EXPECT_EQ(field->GetValue(), -995);
}

TEST_F(SteppingTest, CutsTheTextToItsLeadingNumber) {
    const std::pair<const char*, const char*> cases[] = {
        {"-", "1"},       {"12AB", "13"},   {".", "1"}, {"-.", "1"},
        {"1.5.5", "2.5"}, {"0.25", "1.25"}, {"", "1"}};
    for (const auto& [shown, result] : cases) {
        field->setText(shown);
        Click(Qt::Key_Up);
        EXPECT_EQ(field->text(), result) << shown;
    }
}

TEST_F(SteppingTest, UnreadableTextStepsFromZero) {
    for (const char* shown : {",", "-,"}) {
        field->setText(shown);
        Click(Qt::Key_Up); // must not escape as a conversion error
        EXPECT_EQ(field->text(), "1") << shown;
        EXPECT_TRUE(messages.isEmpty());
    }
}

TEST_F(SteppingTest, UsersSeparatorComesBackInACommaLocale) {
    comsetup::ScopedDecimalSeparator comma(QChar(','));
    field->setText("12.5");
    Click(Qt::Key_Up);
    EXPECT_EQ(field->text(), "13.5");
    field->setText("12,5");
    Click(Qt::Key_Down);
    EXPECT_EQ(field->text(), "11,5");
}

TEST_F(SteppingTest, UsersCommaComesBackInAPointLocale) {
    field->setText("0,5");
    Click(Qt::Key_Up);
    EXPECT_EQ(field->text(), "1,5");
}

TEST_F(SteppingTest, ReadOnlyFieldDoesNotStep) {
    field->setText("7");
    field->setReadOnly(true);
    Click(Qt::Key_Up);
    Click(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "7");
}

TEST_F(SteppingTest, BinaryOctalAndHexadecimal) {
    field->SetBase(TRangeEdit::Binario);
    field->setText("101");
    Click(Qt::Key_Up);
    EXPECT_EQ(field->text(), "110");
    field->setText("0");
    Click(Qt::Key_Down);
    EXPECT_EQ(field->text(), "0"); // never below zero
    field->SetBase(TRangeEdit::Esadecimale);
    field->setText("FF");
    Click(Qt::Key_Up);
    EXPECT_EQ(field->text(), "100");
    field->setText("FF");
    Click(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "163");
    field->SetBase(TRangeEdit::Ottale);
    field->setText("7");
    Click(Qt::Key_Up);
    EXPECT_EQ(field->text(), "10");
}

TEST_F(SteppingTest, OtherBasesIgnoreTheRange) {
    ByteField();
    field->SetBase(TRangeEdit::Esadecimale);
    field->setText("FF");
    Click(Qt::Key_Up, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(field->text(), "4E7"); // 1255
}

TEST_F(SteppingTest, BcdStepsInDecimalDigitsAndReportsBadGroups) {
    field->SetBase(TRangeEdit::BCD);
    field->setText("1001"); // 9
    Click(Qt::Key_Up);
    EXPECT_EQ(field->text(), "10000"); // 10
    EXPECT_TRUE(messages.isEmpty());
    field->setText("1111");
    Click(Qt::Key_Up);
    EXPECT_EQ(messages, QStringList{"Codice BCD scorreto"});
    EXPECT_EQ(field->text(), "1");
    field->setText("1111");
    Click(Qt::Key_Down);
    EXPECT_EQ(field->text(), "0");
    messages.clear();
    field->setText("");
    Click(Qt::Key_Up); // nothing to read: steps from zero without an error
    EXPECT_EQ(field->text(), "1");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SteppingTest, AltArrowsBeatShortcutsOfTheWindow) {
    ByteField();
    int fired = 0;
    auto* action = new QAction(window.get());
    action->setShortcut(QKeySequence(Qt::AltModifier | Qt::Key_Up));
    QObject::connect(action, &QAction::triggered, [&] { ++fired; });
    window->addAction(action);
    field->setText("100");
    QTest::keyClick(field, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(field->text(), "110");
    EXPECT_EQ(fired, 0);
}
