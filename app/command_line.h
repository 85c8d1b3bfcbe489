// What the program answers on its command line without opening a window: --help and
// --version. They are looked at before the application object connects to a display, so
// both work on a console without one. Every other argument is left to Qt (-platform, -style).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace comsetup {

struct CommandLineAnswer {
    int exitCode = 0;
    std::string out; // for standard output
};

// The answer to the first --help, -h or --version in `args` (without argv[0]), or nothing
// when the program is to start.
std::optional<CommandLineAnswer> AnswerWithoutWindow(const std::vector<std::string>& args);

} // namespace comsetup
