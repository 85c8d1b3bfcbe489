// Reading the system's font configuration ahead of the application object.
#include "app/font_configuration.h"

#include <system_error>

#ifdef COMSETUP_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>

#include <clocale>
#include <locale.h>
#include <pthread.h>
#include <sched.h>
#endif

namespace comsetup {

FontConfigurationLoad::FontConfigurationLoad() {
#ifdef COMSETUP_HAVE_FONTCONFIG
    try {
        reader_ = std::thread([] {
            // Only the CPU time the start-up leaves idle (any thread may lower its own
            // priority; if this one cannot, it reads at the normal one).
            const sched_param idle{};
            pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
            // The application object sets the process's locale meanwhile; the configuration
            // files are read in a C locale of this thread's own (their numbers use '.').
            const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
            const locale_t previous = c ? uselocale(c) : locale_t{};
            // fontconfig publishes its configuration atomically: the toolkit's own later
            // FcInit() finds it loaded and returns at once, or, still running, loads one of
            // its own, and the one published first is kept.
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
    if (reader_.joinable())
        reader_.join();
}

} // namespace comsetup
