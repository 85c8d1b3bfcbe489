// Qt key events to virtual-key codes (see key_map.h).
#include "widgets/key_map.h"

#include <QGuiApplication>

namespace comsetup {
namespace {

// Keys of the numeric keypad when Num Lock gives digits and operators.
std::uint16_t KeypadKey(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<std::uint16_t>(vk::Numpad0 + (qtKey - Qt::Key_0));
    switch (qtKey) {
    case Qt::Key_Minus:
        return vk::Subtract;
    case Qt::Key_Period:
    case Qt::Key_Comma: // keypad decimal key of locales with a comma
        return vk::Decimal;
    case Qt::Key_Asterisk:
        return vk::Multiply;
    case Qt::Key_Plus:
        return vk::Add;
    case Qt::Key_Slash:
        return vk::Divide;
    default:
        return 0;
    }
}

// Shifted symbols of the main keyboard (US positions), to the code of their key.
std::uint16_t ShiftedSymbolKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_ParenRight:
        return vk::Key0;
    case Qt::Key_Exclam:
        return vk::Key0 + 1;
    case Qt::Key_At:
        return vk::Key0 + 2;
    case Qt::Key_NumberSign:
        return vk::Key0 + 3;
    case Qt::Key_Dollar:
        return vk::Key0 + 4;
    case Qt::Key_Percent:
        return vk::Key0 + 5;
    case Qt::Key_AsciiCircum:
        return vk::Key0 + 6;
    case Qt::Key_Ampersand:
        return vk::Key0 + 7;
    case Qt::Key_Asterisk:
        return vk::Key0 + 8;
    case Qt::Key_ParenLeft:
        return vk::Key0 + 9;
    case Qt::Key_Colon:
        return vk::Oem1;
    case Qt::Key_Plus:
        return vk::OemPlus;
    case Qt::Key_Less:
        return vk::OemComma;
    case Qt::Key_Underscore:
        return vk::OemMinus;
    case Qt::Key_Greater:
        return vk::OemPeriod;
    case Qt::Key_Question:
        return vk::Oem2;
    case Qt::Key_AsciiTilde:
        return vk::Oem3;
    case Qt::Key_BraceLeft:
        return vk::Oem4;
    case Qt::Key_Bar:
        return vk::Oem5;
    case Qt::Key_BraceRight:
        return vk::Oem6;
    case Qt::Key_QuoteDbl:
        return vk::Oem7;
    default:
        return 0;
    }
}

std::uint16_t PlainKey(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<std::uint16_t>(vk::Key0 + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<std::uint16_t>(vk::KeyA + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<std::uint16_t>(vk::F1 + (qtKey - Qt::Key_F1));
    switch (qtKey) {
    case Qt::Key_Backspace:
        return vk::Back;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return vk::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vk::Return;
    case Qt::Key_Shift:
        return vk::Shift;
    case Qt::Key_Control:
        return vk::Control;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return vk::Menu;
    case Qt::Key_Pause:
        return vk::Pause;
    case Qt::Key_CapsLock:
        return vk::Capital;
    case Qt::Key_Escape:
        return vk::Escape;
    case Qt::Key_Space:
        return vk::Space;
    case Qt::Key_PageUp:
        return vk::Prior;
    case Qt::Key_PageDown:
        return vk::Next;
    case Qt::Key_End:
        return vk::End;
    case Qt::Key_Home:
        return vk::Home;
    case Qt::Key_Left:
        return vk::Left;
    case Qt::Key_Up:
        return vk::Up;
    case Qt::Key_Right:
        return vk::Right;
    case Qt::Key_Down:
        return vk::Down;
    case Qt::Key_Print:
        return vk::Snapshot;
    case Qt::Key_Insert:
        return vk::Insert;
    case Qt::Key_Delete:
        return vk::Delete;
    case Qt::Key_Meta:
        return vk::LWin;
    case Qt::Key_Menu:
        return vk::Apps;
    case Qt::Key_NumLock:
        return vk::NumLock;
    case Qt::Key_ScrollLock:
        return vk::Scroll;
    case Qt::Key_Semicolon:
        return vk::Oem1;
    case Qt::Key_Equal:
        return vk::OemPlus;
    case Qt::Key_Comma:
        return vk::OemComma;
    case Qt::Key_Minus:
        return vk::OemMinus;
    case Qt::Key_Period:
        return vk::OemPeriod;
    case Qt::Key_Slash:
        return vk::Oem2;
    case Qt::Key_QuoteLeft:
        return vk::Oem3;
    case Qt::Key_BracketLeft:
        return vk::Oem4;
    case Qt::Key_Backslash:
        return vk::Oem5;
    case Qt::Key_BracketRight:
        return vk::Oem6;
    case Qt::Key_Apostrophe:
        return vk::Oem7;
    default:
        return 0;
    }
}

} // namespace

std::uint16_t VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (modifiers.testFlag(Qt::KeypadModifier)) {
        if (const std::uint16_t code = KeypadKey(qtKey))
            return code;
    }
    if (const std::uint16_t code = PlainKey(qtKey))
        return code;
    if (const std::uint16_t code = ShiftedSymbolKey(qtKey))
        return code;
    return vk::Unmapped;
}

std::uint16_t VirtualKeyOfWindowsKey(std::uint32_t nativeVirtualKey, int qtKey,
                                     Qt::KeyboardModifiers modifiers) {
    // Windows' codes are 1..254; anything else is no code from Windows.
    if (nativeVirtualKey >= 1 && nativeVirtualKey <= 254)
        return static_cast<std::uint16_t>(nativeVirtualKey);
    return VirtualKeyOf(qtKey, modifiers);
}

ShiftState ShiftStateOf(const QKeyEvent& e) {
    ShiftState state = 0;
    const Qt::KeyboardModifiers m = e.modifiers();
    if (m.testFlag(Qt::ShiftModifier))
        state |= ssShift;
    if (m.testFlag(Qt::AltModifier))
        state |= ssAlt;
    if (m.testFlag(Qt::ControlModifier))
        state |= ssCtrl;
    const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    if (buttons.testFlag(Qt::LeftButton))
        state |= ssLeft;
    if (buttons.testFlag(Qt::RightButton))
        state |= ssRight;
    if (buttons.testFlag(Qt::MiddleButton))
        state |= ssMiddle;
    return state;
}

} // namespace comsetup
