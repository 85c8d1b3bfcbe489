// Reading the system's font configuration ahead of the application object.
//
// The first caption the program lays out makes the toolkit read the font configuration (its
// configuration files and the index of the installed fonts): a few milliseconds of CPU that do
// not depend on the display. Started before the application object, the read runs on a
// second thread while the application connects to the display; the toolkit's own read later
// finds the configuration loaded. The thread runs at the lowest scheduling priority, so that
// it only takes CPU time the start-up leaves idle, and nothing waits for it: should it not be
// done when the first caption comes (a busy machine), the toolkit reads the configuration
// itself, as it would without it. Where the toolkit does not use fontconfig, this does nothing.
#pragma once

#include <thread>

namespace comsetup {

class FontConfigurationLoad {
public:
    // Starts the read (if a thread cannot be started, the toolkit reads it when needed).
    FontConfigurationLoad();
    // Waits for the read, which by then has long ended.
    ~FontConfigurationLoad();
    FontConfigurationLoad(const FontConfigurationLoad&) = delete;
    FontConfigurationLoad& operator=(const FontConfigurationLoad&) = delete;

private:
    std::thread reader_;
};

} // namespace comsetup
