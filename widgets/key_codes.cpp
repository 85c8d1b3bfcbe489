// Key sets per number base (see key_codes.h).
#include "widgets/key_codes.h"

#include <initializer_list>

namespace comsetup {
namespace {

void AddRange(KeySet& set, unsigned first, unsigned last) {
    for (unsigned code = first; code <= last; ++code)
        set.set(code);
}

// Editing, navigation, modifier and function keys, accepted in every base.
KeySet CommonKeys() {
    KeySet set;
    for (unsigned code : {vk::Back, vk::Return, vk::Shift, vk::Control, vk::Menu, vk::Capital,
                          vk::Escape, vk::Insert, vk::Delete, vk::NumLock})
        set.set(code);
    AddRange(set, vk::Prior, vk::Down); // Page Up, Page Down, End, Home, arrows
    AddRange(set, vk::F1, vk::F12);
    return set;
}

} // namespace

KeySet ValidKeysFor(TBase b) {
    KeySet set = CommonKeys();
    switch (b) {
    case Decimale:
        AddRange(set, vk::Key0, vk::Key9);
        AddRange(set, vk::Numpad0, vk::Numpad9);
        break;
    case Binario:
    case BCD:
        AddRange(set, vk::Key0, vk::Key0 + 1);
        AddRange(set, vk::Numpad0, vk::Numpad0 + 1);
        break;
    case Esadecimale:
        AddRange(set, vk::Key0, vk::Key9);
        AddRange(set, vk::KeyA, vk::KeyF);
        AddRange(set, vk::Numpad0, vk::Numpad9);
        break;
    case Ottale:
        AddRange(set, vk::Key0, vk::Key0 + 7);
        AddRange(set, vk::Numpad0, vk::Numpad0 + 7);
        break;
    }
    return set;
}

} // namespace comsetup
