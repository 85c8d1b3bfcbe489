// Leaving the field: reformatting, the refusal of a bare sign (flash, focus kept, caret at
// the end), range checks when both bounds are set, texts that are no number, BCD checks.
#include <QSignalSpy>

#include "tests/widgets/field_fixture.h"

using ExitTest = FieldTest;

TEST_F(ExitTest, LeavingReformatsTheNumber) {
    ByteField();
    const std::pair<const char*, const char*> cases[] = {
        {"007", "7"}, {"1.23456", "1.235"}, {"1.50", "1.5"}, {"300", "300"}, {"", "0"}};
    for (const auto& [typed, shown] : cases) {
        field->setFocus();
        field->setText(typed);
        LeaveField();
        EXPECT_EQ(field->text(), shown) << typed;
        EXPECT_TRUE(other->hasFocus()) << typed;
        EXPECT_EQ(field->Color(), QColor(Qt::white));
    }
}

TEST_F(ExitTest, OutOfRangeTextLeavesButReadsAsLastValue) {
    ByteField();
    field->setText("192");
    field->setText("300");
    LeaveField();
    EXPECT_EQ(field->text(), "300");
    EXPECT_EQ(field->GetValue(), 192);
}

TEST_F(ExitTest, UsersSeparatorComesBackAfterFormatting) {
    field->setText("1,5");
    LeaveField();
    EXPECT_EQ(field->text(), "1,5");
    field->setFocus();
    field->setText("1,23456");
    LeaveField();
    EXPECT_EQ(field->text(), "1,235");
    comsetup::ScopedDecimalSeparator comma(QChar(','));
    field->setFocus();
    field->setText("2.71828");
    LeaveField();
    EXPECT_EQ(field->text(), "2.718");
}

TEST_F(ExitTest, BareSignIsRefusedAndKeepsTheFocus) {
    ByteField();
    for (const char* bare : {"-", "-.", "-,"}) {
        field->setFocus();
        field->setText(bare);
        field->setCursorPosition(0);
        LeaveField();
        EXPECT_TRUE(field->hasFocus()) << bare;
        EXPECT_EQ(field->text(), bare);
        EXPECT_EQ(field->cursorPosition(), static_cast<int>(strlen(bare)));
        EXPECT_EQ(field->Color(), QColor(Qt::white)) << "flash over";
    }
}

TEST_F(ExitTest, UserExitHandlerRunsFirst) {
    QString seen;
    QObject::connect(field, &TRangeEdit::OnExit, field, [&] { seen = field->text(); });
    field->setText("007");
    LeaveField();
    EXPECT_EQ(seen, "007");
    EXPECT_EQ(field->text(), "7");
}

TEST_F(ExitTest, BothBoundsSetChecksTheRangeInclusive) {
    field->SetMinval(10);
    field->SetMaxVal(20);
    for (const char* ok : {"10", "20", "15.5"}) {
        field->setFocus();
        field->setText(ok);
        LeaveField();
        EXPECT_TRUE(other->hasFocus()) << ok;
    }
    for (const char* bad : {"9", "21", "9.999"}) {
        field->setFocus();
        field->setText(bad);
        LeaveField();
        EXPECT_TRUE(field->hasFocus()) << bad;
    }
}

TEST_F(ExitTest, TextThatIsNoNumberIsRefusedNotAnErrorEscaping) {
    field->SetMinval(10);
    field->SetMaxVal(20);
    field->setText("12A");
    LeaveField(); // must neither throw nor let the text through
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(field->text(), "12A");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ExitTest, LengthLimitSwitchesTheCheckOff) {
    field->SetLungDec(5);
    field->setText("-");
    LeaveField();
    EXPECT_TRUE(other->hasFocus());
}

TEST_F(ExitTest, NoCheckInBinaryOctalAndHexadecimal) {
    field->SetMinval(10);
    field->SetMaxVal(20);
    field->SetBase(TRangeEdit::Binario);
    field->setFocus();
    field->setText("11111111");
    LeaveField();
    EXPECT_TRUE(other->hasFocus());
    EXPECT_EQ(field->text(), "11111111");
}

TEST_F(ExitTest, BcdFieldChecksGroupsAndAnExclusiveRange) {
    field->SetMinval(10);
    field->SetMaxVal(20);
    field->SetBase(TRangeEdit::BCD);
    const std::pair<const char*, bool> cases[] = {
        {"10101", true},   // 15
        {"10000", false},  // 10: bounds exclusive
        {"100000", false}, // 20
        {"11111", false},  // group above 9
        {"", false},       // nothing to read: refused, no error escaping
    };
    for (const auto& [text, leaves] : cases) {
        field->setFocus();
        field->setText(text);
        LeaveField();
        EXPECT_EQ(other->hasFocus(), leaves) << text;
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ExitTest, WindowDeactivationIsNotALeave) {
    field->setText("-");
    QSignalSpy exits(field, &TRangeEdit::OnExit);
    QWidget popup;
    popup.show();
    popup.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&popup));
    EXPECT_FALSE(window->isActiveWindow());
    EXPECT_EQ(exits.count(), 0);
    EXPECT_EQ(field->text(), "-");
}
