// Key codes and modifier sets seen by the numeric entry field.
//
// The field decides on 16-bit virtual-key codes (the codes of the PC keyboard: '0'..'9' are
// 48..57, keypad digits 96..105, letters 65..90, the minus key 189, ...), whatever the
// platform; key_map.h translates toolkit key events into them. Per number base a set of
// 256 bits says which codes are accepted as they are.
#pragma once

#include <bitset>
#include <cstdint>

#include "widgets/base_conv.h"

namespace comsetup {

namespace vk {
constexpr std::uint16_t Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18,
                        Pause = 19, Capital = 20, Escape = 27, Space = 32, Prior = 33, Next = 34,
                        End = 35, Home = 36, Left = 37, Up = 38, Right = 39, Down = 40,
                        Snapshot = 44, Insert = 45, Delete = 46, Key0 = 48, Key5 = 53, Key9 = 57,
                        KeyA = 65, KeyF = 70, KeyZ = 90, LWin = 91, Apps = 93, Numpad0 = 96,
                        Numpad9 = 105, Multiply = 106, Add = 107, Subtract = 109, Decimal = 110,
                        Divide = 111, F1 = 112, F12 = 123, F24 = 135, NumLock = 144, Scroll = 145,
                        Oem1 = 186, OemPlus = 187, OemComma = 188, OemMinus = 189, OemPeriod = 190,
                        Oem2 = 191, Oem3 = 192, Oem4 = 219, Oem5 = 220, Oem6 = 221, Oem7 = 222;
// A key with no code of its own; above 255, so never in a key set.
constexpr std::uint16_t Unmapped = 256;
} // namespace vk

// Modifier keys and mouse buttons held while a key goes down or up.
using ShiftState = std::uint8_t;
enum ShiftFlag : ShiftState {
    ssShift = 1 << 0,
    ssAlt = 1 << 1,
    ssCtrl = 1 << 2,
    ssLeft = 1 << 3,
    ssRight = 1 << 4,
    ssMiddle = 1 << 5,
    ssDouble = 1 << 6,
};

using KeySet = std::bitset<256>;

// Codes accepted as they are in base b: the editing and function keys of every base plus
// the digit (and, in hexadecimal, letter) keys of b.
KeySet ValidKeysFor(TBase b);

// Whether code is in set (codes above 255 never are).
inline bool Contains(const KeySet& set, unsigned code) {
    return code < 256 && set.test(code);
}

} // namespace comsetup
