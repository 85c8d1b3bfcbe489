// Reading the system's font configuration ahead of the application object.
//
// The first caption the program lays out makes the toolkit read the font configuration (its
// configuration files and the index of the installed fonts): a few milliseconds of CPU that do
// not depend on the display. Started before the application object, the read runs on a
// second thread while the application connects to the display, and the program waits for it
// just before it builds its windows, whose first caption would otherwise start the same read.
// Where the toolkit does not use fontconfig, this does nothing.
#pragma once

#include <thread>

namespace comsetup {

class FontConfigurationLoad {
public:
    // Starts the read (if a thread cannot be started, the toolkit reads it when needed).
    FontConfigurationLoad();
    // Waits for the read.
    ~FontConfigurationLoad();
    FontConfigurationLoad(const FontConfigurationLoad&) = delete;
    FontConfigurationLoad& operator=(const FontConfigurationLoad&) = delete;

    // Returns once the configuration is loaded; later calls return at once.
    void Wait();

private:
    std::thread reader_;
};

} // namespace comsetup
