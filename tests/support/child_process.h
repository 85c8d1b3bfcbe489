// A child process for tests and benchmarks of the executables: started with extra
// environment variables, its standard output and error written to files in its own folder so
// that it never blocks on a full pipe, waited for with a limit, and killed if still running
// when the object goes away. POSIX only.
#pragma once

#include "tests/support/files.h"

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace comsetup::test {

class ChildProcess {
public:
    // With pipedOut, standard output is a pipe that the test reads (Out, WaitForText) and may
    // close as a reader that goes away does (`| head`).
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                 bool pipedOut = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits until the process has printed text on its standard output (or error, when
    // fromErr); false when it did not within the limit or ended first.
    bool WaitForText(const std::string& text, std::chrono::milliseconds limit,
                     bool fromErr = false);
    // The first line of standard output (without the line feed), once there; "" if the
    // process ended or the limit passed first.
    std::string FirstLine(std::chrono::milliseconds limit);

    // Waits for the process to end; returns its exit code, 128 + signal when a signal ended
    // it, or -1 when the limit passed (the process is then killed).
    int Wait(std::chrono::milliseconds limit);
    void Signal(int signal);
    bool Running();
    // Closes the reading end of a piped standard output; what was read stays in Out.
    void CloseOut();

    std::string Out() const;
    std::string Err() const;
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int status_ = -1;
    bool ended_ = false;
    TempFolder dir_;            // the files of its standard output and error
    mutable int outPipe_ = -1;  // reading end of a piped standard output
    mutable std::string piped_; // what was read from it so far
};

} // namespace comsetup::test
