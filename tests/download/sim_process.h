// Runs comsetup-sim as a child process for real-time tests and benchmarks: starts it, reads
// the pseudo-terminal path it prints first, and stops it (SIGTERM) when done.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace comsetup::testing {

class SimProcess {
public:
    // Throws std::runtime_error when the program cannot be started or prints no path.
    SimProcess(const std::string& program, const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& PtyPath() const { return ptyPath_; }
    // Waits up to timeout for the process to end by itself; true when it has.
    bool WaitExit(std::chrono::milliseconds timeout);
    // Asks it to stop (SIGTERM) and waits for it.
    void Stop();
    // What it printed after the path (complete once it has ended).
    std::string Output();

private:
    int Drain(int timeoutMs); // bytes read, 0 when none (or end of output)
    pid_t pid_ = -1;
    int out_ = -1;
    std::string ptyPath_;
    std::string output_;
};

// A fresh file name under the temporary directory.
std::string TempPath(const std::string& stem);

} // namespace comsetup::testing
