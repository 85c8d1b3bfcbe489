// Translation of Qt key events into the virtual-key codes and modifier sets the numeric
// field decides on (widgets/key_codes.h).
#pragma once

#include <QKeyEvent>
#include <cstdint>

#include "widgets/key_codes.h"

namespace comsetup {

// Code of the key, from Qt's key plus the keypad flag (X11 native codes are keysyms, not
// usable here). Shifted symbols of the main keyboard give the code of their key ('!' is
// the key of '1', '_' the minus key), as the PC keyboard reports them. Keys without a code
// give vk::Unmapped.
std::uint16_t VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

// Code of a key reported by Windows: its native virtual-key code is the code itself, right on
// every keyboard layout (the key of '1' on a French keyboard types '&'). Events without one
// (0, e.g. made by the program itself) fall back to Qt's key.
std::uint16_t VirtualKeyOfWindowsKey(std::uint32_t nativeVirtualKey, int qtKey,
                                     Qt::KeyboardModifiers modifiers);

// The code of a key event on this platform: from its native code on Windows, from Qt's key
// elsewhere (one implementation file per platform: posix/, win32/key_event.cpp).
std::uint16_t VirtualKeyOf(const QKeyEvent& e);

// Shift, Alt and Ctrl from the event, mouse buttons held from the application.
ShiftState ShiftStateOf(const QKeyEvent& e);

} // namespace comsetup
