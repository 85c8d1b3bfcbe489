// Qt key events to the field's virtual-key codes: the keypad flag, shifted symbols and
// the modifier set.
#include <QKeyEvent>
#include <gtest/gtest.h>

#include "widgets/key_map.h"

using namespace comsetup;

TEST(KeyMap, MainKeyboardAndKeypadGiveDistinctCodes) {
    EXPECT_EQ(VirtualKeyOf(Qt::Key_5, Qt::NoModifier), 53);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_5, Qt::KeypadModifier), 101);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Minus, Qt::NoModifier), 189);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Minus, Qt::KeypadModifier), 109);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Period, Qt::NoModifier), 190);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Period, Qt::KeypadModifier), 110);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Comma, Qt::NoModifier), 188);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Enter, Qt::KeypadModifier), 13);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Home, Qt::KeypadModifier), 36); // keypad without Num Lock
}

TEST(KeyMap, NavigationLettersAndFunctionKeys) {
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Left, {}), 37);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Up, Qt::AltModifier), 38);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Right, {}), 39);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Down, {}), 40);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_A, {}), 65);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_F, Qt::ShiftModifier), 70);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_F1, {}), 112);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_F12, {}), 123);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Backspace, {}), 8);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Alt, Qt::AltModifier), 18);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_NumLock, {}), 144);
}

TEST(KeyMap, ShiftedSymbolsGiveTheirKeysCode) {
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Exclam, Qt::ShiftModifier), 49);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_ParenRight, Qt::ShiftModifier), 48);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Percent, Qt::ShiftModifier), 53);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Underscore, Qt::ShiftModifier), 189);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Greater, Qt::ShiftModifier), 190);
}

TEST(KeyMap, KeysWithoutCodeAreOutsideEveryKeySet) {
    EXPECT_GT(VirtualKeyOf(Qt::Key_Eacute, {}), 255);
    EXPECT_GT(VirtualKeyOf(0, {}), 255);
}

TEST(KeyMap, ShiftStateFromTheEvent) {
    QKeyEvent e(QEvent::KeyPress, Qt::Key_Up, Qt::AltModifier | Qt::ControlModifier);
    EXPECT_EQ(ShiftStateOf(e), ssAlt | ssCtrl);
    QKeyEvent k(QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(ShiftStateOf(k), 0); // the keypad flag is no modifier
    QKeyEvent s(QEvent::KeyPress, Qt::Key_1, Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(ShiftStateOf(s), ssShift | ssAlt);
}

TEST(KeyMap, WindowsNativeCodeIsTheCodeElseQtsKeyDecides) {
    struct Row {
        std::uint32_t native;
        int key;
        Qt::KeyboardModifiers modifiers;
        std::uint16_t code;
    };
    const Row rows[] = {
        {49, Qt::Key_Ampersand, {}, 49},               // French layout: '&' on the key of '1'
        {50, Qt::Key_Eacute, {}, 50},                  // French layout: 'é' on the key of '2'
        {219, Qt::Key_ssharp, {}, 219},                // German layout: 'ß' key
        {110, Qt::Key_Comma, Qt::KeypadModifier, 110}, // keypad decimal key with a comma
        {13, Qt::Key_Enter, Qt::KeypadModifier, 13},
        {0, Qt::Key_5, Qt::KeypadModifier, 101}, // event made by the program: Qt's key
        {0, Qt::Key_Minus, {}, 189},
        {0, Qt::Key_Eacute, {}, 256},
        {255, Qt::Key_A, {}, 65}, // no Windows code: Qt's key
        {0xffb5, Qt::Key_5, Qt::KeypadModifier, 101},
    };
    for (const Row& r : rows)
        EXPECT_EQ(VirtualKeyOfWindowsKey(r.native, r.key, r.modifiers), r.code)
            << "native " << r.native << " key " << r.key;
}

TEST(KeyMap, KeyEventCodeOnThisPlatform) {
    // The key of '1' on a French keyboard, with Windows' native code; the keypad 5 with the
    // native code X11 gives it (a keysym).
    QKeyEvent french(QEvent::KeyPress, Qt::Key_Ampersand, Qt::NoModifier, 0, 49, 0);
#if defined(Q_OS_WIN)
    EXPECT_EQ(VirtualKeyOf(french), 49);
#else
    QKeyEvent keypad(QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier, 0, 0xffb5, 0);
    EXPECT_EQ(VirtualKeyOf(keypad), 101);
    EXPECT_EQ(VirtualKeyOf(french), 55); // X11: US position of '&' (shift of '7')
#endif
}
