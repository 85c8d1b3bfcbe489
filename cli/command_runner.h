// Runs one comsetup-cli command line: parses it, then runs download, dry-run, list-ports or
// batch, writing results to out and progress and messages to err (progress goes to out when
// the result is not JSON). Returns the exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace comsetup::cli {

struct ConsoleInfo {
    bool outIsTerminal = false; // out is a terminal: a live progress line may be drawn there
    bool errIsTerminal = false;
    bool inIsTerminal = false; // a user to ask questions of on standard input
    int width = 80;
};

// What the process's own standard output and error are (terminal or not, width).
ConsoleInfo DetectConsole();

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const ConsoleInfo& console = {});

} // namespace comsetup::cli
