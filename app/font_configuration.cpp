// Reading the system's font configuration ahead of the application object.
#include "app/font_configuration.h"

#include <system_error>

#ifdef COMSETUP_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>

#include <clocale>
#include <locale.h>
#endif

namespace comsetup {

FontConfigurationLoad::FontConfigurationLoad() {
#ifdef COMSETUP_HAVE_FONTCONFIG
    try {
        reader_ = std::thread([] {
            // The application object sets the process's locale meanwhile; the configuration
            // files are read in a C locale of this thread's own (their numbers use '.').
            const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
            const locale_t previous = c ? uselocale(c) : locale_t{};
            // fontconfig publishes its configuration atomically: the toolkit's own later
            // FcInit() finds it loaded and returns at once.
            FcInit();
            if (c) {
                uselocale(previous);
                freelocale(c);
            }
        });
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
