// comsetup-cli entry point: hands the command line to the library.
#include "cli/command_runner.h"

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A file-size limit ends a write to a log or trace with an error that is reported, not
    // the whole program with a core dump.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    const std::vector<std::string> args(argv + 1, argv + argc);
    return comsetup::cli::RunCommandLine(args, std::cout, std::cerr,
                                         comsetup::cli::DetectConsole());
}
