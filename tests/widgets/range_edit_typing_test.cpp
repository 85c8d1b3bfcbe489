// Typing rules with real key events: accepted and refused keys per base, minus and
// separator rules, IsInteger, the Shift+Alt and Ctrl+Alt combinations, paste, the error
// colour held until the key is released, and LastText after every release.
#include <QClipboard>

#include <functional>
#include <memory>

#include "tests/widgets/field_fixture.h"

using TypingTest = FieldTest;

TEST_F(TypingTest, DigitsTypeNormally) {
    Retype("192");
    EXPECT_EQ(field->text(), "192");
    EXPECT_EQ(field->LastText(), "192");
    EXPECT_EQ(field->GetValue(), 192);
    QTest::keyClick(field, Qt::Key_4, Qt::KeypadModifier);
    EXPECT_EQ(field->text(), "1924");
}

TEST_F(TypingTest, RefusedKeyLeavesTextRedUntilReleaseAndCaretAtEnd) {
    ByteField();
    Retype("192");
    for (Qt::Key key : {Qt::Key_A, Qt::Key_X, Qt::Key_Space, Qt::Key_Plus, Qt::Key_Slash}) {
        field->setCursorPosition(1);
        QTest::keyPress(field, key);
        EXPECT_EQ(field->text(), "192") << key;
        EXPECT_EQ(field->Color(), QColor(Qt::red)) << key;
        EXPECT_EQ(field->cursorPosition(), 3) << key;
        QTest::keyRelease(field, key);
        EXPECT_EQ(field->Color(), QColor(Qt::white)) << key;
        EXPECT_EQ(field->LastText(), "192");
    }
}

TEST_F(TypingTest, UserKeyDownHandlerSeesTheCancelledKey) {
    std::uint16_t seen = 999;
    QObject::connect(field, &TRangeEdit::OnKeyDown, field,
                     [&](std::uint16_t& key, comsetup::ShiftState) { seen = key; });
    QTest::keyClick(field, Qt::Key_X);
    EXPECT_EQ(seen, 0);
    QTest::keyClick(field, Qt::Key_7);
    EXPECT_EQ(seen, 55);
}

TEST_F(TypingTest, UserKeyDownHandlerCanCancelAKey) {
    Retype("1");
    QObject::connect(field, &TRangeEdit::OnKeyDown, field,
                     [&](std::uint16_t& key, comsetup::ShiftState) {
                         if (key == '5')
                             key = 0;
                     });
    QTest::keyClicks(field, "52");
    EXPECT_EQ(field->text(), "12");
}

TEST_F(TypingTest, MinusIsTakenOnceAndOnlyInFront) {
    Retype("5");
    field->setCursorPosition(0);
    Click(Qt::Key_Minus);
    EXPECT_EQ(field->text(), "-5");
    QTest::keyPress(field, Qt::Key_Minus); // a second minus is refused
    EXPECT_EQ(field->text(), "-5");
    EXPECT_EQ(field->Color(), field->ErrorColor());
    QTest::keyRelease(field, Qt::Key_Minus);
    EXPECT_EQ(field->Color(), field->NormalColor());
    QTest::keyClick(field, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(field->text(), "-5");
    Retype("7");
    Click(Qt::Key_Minus); // typed behind the digits: taken out again
    EXPECT_EQ(field->text(), "7");
}

TEST_F(TypingTest, OneSeparatorUnlessTheSelectionCoversIt) {
    Retype("1");
    Click(Qt::Key_Period);
    QTest::keyClicks(field, "5");
    EXPECT_EQ(field->text(), "1.5");
    QTest::keyPress(field, Qt::Key_Period);
    EXPECT_EQ(field->text(), "1.5");
    EXPECT_EQ(field->Color(), field->ErrorColor());
    QTest::keyRelease(field, Qt::Key_Period);
    Click(Qt::Key_Comma);
    EXPECT_EQ(field->text(), "1.5");
    field->setSelection(1, 1); // the '.'
    Click(Qt::Key_Comma);
    EXPECT_EQ(field->text(), "1,5");
    field->setSelection(1, 1);
    QTest::keyClick(field, Qt::Key_Period, Qt::KeypadModifier);
    EXPECT_EQ(field->text(), "1.5");
}

TEST_F(TypingTest, IntegerFieldFlagsEverySeparatorKey) {
    field->SetIsInteger(true);
    Retype("12");
    for (auto [key, mods] :
         {std::pair{Qt::Key_Period, Qt::KeyboardModifiers()},
          std::pair{Qt::Key_Comma, Qt::KeyboardModifiers()},
          std::pair{Qt::Key_Period, Qt::KeyboardModifiers(Qt::KeypadModifier)}}) {
        QTest::keyPress(field, key, mods);
        EXPECT_EQ(field->Color(), field->ErrorColor());
        EXPECT_EQ(field->text(), "12");
        QTest::keyRelease(field, key, mods);
        EXPECT_EQ(field->Color(), field->NormalColor());
        EXPECT_EQ(field->text(), "12");
    }
}

TEST_F(TypingTest, OtherBasesRefuseMinusAndSeparators) {
    for (auto base :
         {TRangeEdit::Binario, TRangeEdit::Ottale, TRangeEdit::Esadecimale, TRangeEdit::BCD}) {
        field->SetBase(base);
        EXPECT_TRUE(field->NoMinus());
        EXPECT_TRUE(field->NoSeparator());
        Retype("1");
        for (Qt::Key key : {Qt::Key_Minus, Qt::Key_Period, Qt::Key_Comma}) {
            QTest::keyPress(field, key);
            EXPECT_EQ(field->Color(), field->ErrorColor()) << base << key;
            QTest::keyRelease(field, key);
            EXPECT_EQ(field->text(), "1") << base << key;
        }
    }
}

TEST_F(TypingTest, DigitsAndLettersPerBase) {
    field->SetBase(TRangeEdit::Binario);
    Retype("1");
    QTest::keyClicks(field, "0210");
    EXPECT_EQ(field->text(), "1010");
    field->SetBase(TRangeEdit::Ottale);
    Retype("7");
    QTest::keyClicks(field, "89");
    EXPECT_EQ(field->text(), "7");
    field->SetBase(TRangeEdit::Esadecimale);
    Retype("a");
    QTest::keyClicks(field, "fg");
    EXPECT_EQ(field->text(), "AF");
    field->SetBase(TRangeEdit::Decimale);
    Retype("1");
    QTest::keyClicks(field, "a");
    EXPECT_EQ(field->text(), "1");
}

TEST_F(TypingTest, ShiftAltDigitAndCtrlAltFiveAreFlagged) {
    Retype("12");
    QTest::keyPress(field, Qt::Key_3, Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(field->Color(), field->ErrorColor());
    EXPECT_EQ(field->text(), "12");
    QTest::keyRelease(field, Qt::Key_3, Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(field->Color(), field->NormalColor());
    QTest::keyPress(field, Qt::Key_5, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(field->Color(), field->ErrorColor());
    QTest::keyRelease(field, Qt::Key_5, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(field->text(), "12");
    QTest::keyClick(field, Qt::Key_6, Qt::ControlModifier | Qt::AltModifier); // not flagged
    EXPECT_EQ(field->Color(), field->NormalColor());
}

TEST_F(TypingTest, PasteByCtrlVIsRefused) {
    QApplication::clipboard()->setText("99");
    Retype("12");
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "12");
}

TEST_F(TypingTest, LastTextFollowsEveryRelease) {
    Retype("4");
    field->setText("45"); // set from code: LastText catches up at the next release
    EXPECT_EQ(field->LastText(), "4");
    Click(Qt::Key_Home);
    EXPECT_EQ(field->LastText(), "45");
    EXPECT_EQ(field->Color(), field->NormalColor());
}

// A field filled before any key reached it (its form's text, SetValue) must put back what
// it showed when its first key is refused, not the "0" it was created with.
TEST_F(TypingTest, FirstRefusedKeyPutsBackTheTextTheFieldWasFilledWith) {
    struct Case {
        const char* name;
        bool focusFirst;
        std::function<void(TRangeEdit*)> fill;
    };
    for (const Case& c :
         {Case{"form text, then focus", false, [](TRangeEdit* f) { f->setText("192"); }},
          Case{"SetValue while focused", true, [](TRangeEdit* f) { f->SetValue(192); }}}) {
        auto fresh = std::make_unique<TRangeEdit>(window.get());
        window->layout()->addWidget(fresh.get());
        ByteField(fresh.get());
        fresh->show();
        if (c.focusFirst)
            fresh->setFocus();
        c.fill(fresh.get());
        fresh->setFocus();
        ASSERT_TRUE(fresh->hasFocus()) << c.name;
        QTest::keyClick(fresh.get(), Qt::Key_X); // refused
        EXPECT_EQ(fresh->text(), "192") << c.name;
        EXPECT_EQ(fresh->GetValue(), 192) << c.name;
    }
}

TEST_F(TypingTest, TabMovesTheFocusWithoutRefusal) {
    Retype("3");
    Click(Qt::Key_Tab);
    EXPECT_TRUE(other->hasFocus());
    EXPECT_EQ(field->text(), "3");
    EXPECT_EQ(field->Color(), field->NormalColor());
}
