// comsetup-cli entry point: hands the command line to the library.
#include "cli/command_runner.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return comsetup::cli::RunCommandLine(args, std::cout, std::cerr,
                                         comsetup::cli::DetectConsole());
}
