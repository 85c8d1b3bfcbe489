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
std::uint16_t VirtualKeyOf(const QKeyEvent& e);

// Shift, Alt and Ctrl from the event, mouse buttons held from the application.
TShiftState ShiftStateOf(const QKeyEvent& e);

} // namespace comsetup
