// The converter stand-in (comsetup-sim) as a child process of a test or a benchmark: started
// with its options, its standard output kept (the pty path on the first line, then a report
// of every download) and read line by line or as a whole, stopped when the object goes away.
// POSIX only.
#pragma once

#include "tests/support/child_process.h"

#include <chrono>
#include <string>
#include <vector>

namespace comsetup::test {

// The stand-in of this build.
std::string SimProgram();

class SimProcess {
public:
    // Runs `program` (the stand-in unless a launcher such as chrt is given) with options.
    explicit SimProcess(const std::vector<std::string>& options,
                        const std::string& program = SimProgram());
    // Asks the stand-in to stop (SIGTERM) and waits for it; SIGKILL after five seconds.
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The pty it serves, from its first line (read once, waiting up to limit); "" when it
    // ended or the limit passed first.
    const std::string& PtyPath(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Everything it printed on its standard output so far, the path line included.
    std::string Output() const { return process_.Out(); }
    // Waits up to limit for text to appear in the output.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit);
    // The next line not read yet (the path line first, unless PtyPath has read it), without
    // its line feed; "<timeout>" or "<eof>" (it ended) when there is none.
    std::string NextLine(std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Lines up to and including one that starts with prefix, or the "<timeout>"/"<eof>" line.
    std::vector<std::string> LinesUntil(const std::string& prefix);

    // As ChildProcess::Wait: the exit code, 128 + a signal, or -1 (killed at the limit).
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        return process_.Wait(limit);
    }
    void Signal(int signal) { process_.Signal(signal); }
    void Stop();

private:
    ChildProcess process_;
    std::size_t read_ = 0; // bytes of the output handed out as lines
    std::string pty_;      // the first line, once read
};

// "  <name>  <value>" of the last download report in output that has the item, "" if none.
std::string ReportItem(const std::string& output, const std::string& name);

} // namespace comsetup::test
