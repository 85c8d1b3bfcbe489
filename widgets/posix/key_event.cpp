// Key events on X11, Wayland and macOS: their native codes are no virtual-key codes (X11 gives
// keysyms), so the code comes from Qt's key and the keypad flag.
#include "widgets/key_map.h"

namespace comsetup {

std::uint16_t VirtualKeyOf(const QKeyEvent& e) {
    return VirtualKeyOf(e.key(), e.modifiers());
}

} // namespace comsetup
