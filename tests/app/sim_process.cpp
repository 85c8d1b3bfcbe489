// The converter stand-in as a child process of a test.
#include "sim_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace comsetup::test {

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

SimProcess::SimProcess(const std::vector<std::string>& options) {
    char pattern[] = "/tmp/comsetup-app-sim-XXXXXX";
    if (!mkdtemp(pattern))
        return;
    dir_ = pattern;
    const std::string outPath = dir_ + "/out.txt";
    std::vector<std::string> args{COMSETUP_SIM_PATH};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = fork();
    if (pid_ == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open((dir_ + "/err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0)
            _exit(127);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        const std::string out = Output();
        const auto end = out.find('\n');
        if (end != std::string::npos) {
            pty_ = out.substr(0, end);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

SimProcess::~SimProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (!dir_.empty()) {
        unlink((dir_ + "/out.txt").c_str());
        unlink((dir_ + "/err.txt").c_str());
        rmdir(dir_.c_str());
    }
}

std::string SimProcess::Output() const {
    return dir_.empty() ? "" : ReadAll(dir_ + "/out.txt");
}

bool SimProcess::WaitForOutput(const std::string& text, int limitMs) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (Output().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string ReportItem(const std::string& output, const std::string& name) {
    std::istringstream lines(output);
    std::string line, value;
    const std::string key = "  " + name + " ";
    while (std::getline(lines, line)) {
        if (line.rfind(key, 0) != 0)
            continue;
        const auto start = line.find_first_not_of(' ', key.size());
        value = start == std::string::npos ? "" : line.substr(start);
    }
    return value;
}

} // namespace comsetup::test
