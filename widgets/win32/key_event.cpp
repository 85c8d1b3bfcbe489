// Key events on Windows carry the virtual-key code of the key pressed, whatever the layout.
#include "widgets/key_map.h"

namespace comsetup {

std::uint16_t VirtualKeyOf(const QKeyEvent& e) {
    return VirtualKeyOfWindowsKey(e.nativeVirtualKey(), e.key(), e.modifiers());
}

} // namespace comsetup
