// Reading the system's font configuration ahead of the application object.
#include "app/font_configuration.h"

#include <system_error>

#ifdef COMSETUP_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace comsetup {

FontConfigurationLoad::FontConfigurationLoad() {
#ifdef COMSETUP_HAVE_FONTCONFIG
    try {
        // fontconfig publishes its configuration atomically: the toolkit's own later FcInit()
        // finds it loaded and returns at once.
        reader_ = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread: the toolkit loads the configuration itself at the first caption.
    }
#endif
}

FontConfigurationLoad::~FontConfigurationLoad() {
    Wait();
}

void FontConfigurationLoad::Wait() {
    if (reader_.joinable())
        reader_.join();
}

} // namespace comsetup
