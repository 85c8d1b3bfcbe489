// The converter stand-in as a child process.
#include "tests/support/sim_process.h"

#include <csignal>
#include <sstream>
#include <thread>

namespace comsetup::test {

namespace {

std::vector<std::string> Command(const std::string& program,
                                 const std::vector<std::string>& options) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
}

} // namespace

std::string SimProgram() {
    return COMSETUP_SIM_PATH;
}

SimProcess::SimProcess(const std::vector<std::string>& options, const std::string& program)
    : process_(Command(program, options)) {}

SimProcess::~SimProcess() {
    Stop();
}

void SimProcess::Stop() {
    if (process_.Running()) {
        process_.Signal(SIGTERM); // the stand-in removes its link and writes its report
        process_.Wait(std::chrono::seconds(5));
    }
}

const std::string& SimProcess::PtyPath(std::chrono::milliseconds limit) {
    if (read_ == 0) {
        NextLine(limit); // keeps the first line as the path
    }
    return pty_;
}

bool SimProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
    return process_.WaitForText(text, limit);
}

std::string SimProcess::NextLine(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const bool running = process_.Running(); // asked first: no line can follow an end
        const std::string out = process_.Out();
        if (const auto end = out.find('\n', read_); end != std::string::npos) {
            std::string line = out.substr(read_, end - read_);
            if (read_ == 0) {
                pty_ = line;
            }
            read_ = end + 1;
            return line;
        }
        if (!running) {
            return "<eof>";
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return "<timeout>";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::vector<std::string> SimProcess::LinesUntil(const std::string& prefix) {
    std::vector<std::string> lines;
    for (;;) {
        lines.push_back(NextLine());
        const std::string& line = lines.back();
        if (line.rfind(prefix, 0) == 0 || line == "<timeout>" || line == "<eof>") {
            return lines;
        }
    }
}

std::string ReportItem(const std::string& output, const std::string& name) {
    std::istringstream lines(output);
    std::string line;
    std::string value;
    const std::string key = "  " + name + " ";
    while (std::getline(lines, line)) {
        if (line.rfind(key, 0) != 0) {
            continue;
        }
        const auto start = line.find_first_not_of(' ', key.size());
        value = start == std::string::npos ? "" : line.substr(start);
    }
    return value;
}

} // namespace comsetup::test
