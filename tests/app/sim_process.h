// The converter stand-in (comsetup-sim) as a child process of a test: started with its
// options, its standard output kept in a file (the pty path on the first line, then a report
// of every download), stopped when the object goes away.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace comsetup::test {

class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The pty the stand-in serves ("" when it did not start).
    const std::string& PtyPath() const { return pty_; }
    // Everything it printed on its standard output so far.
    std::string Output() const;
    // Waits up to limitMs for `text` to appear in the output.
    bool WaitForOutput(const std::string& text, int limitMs) const;

private:
    pid_t pid_ = -1;
    std::string dir_;
    std::string pty_;
};

// "  <name>  <value>" of the last download report that has the item, "" if none.
std::string ReportItem(const std::string& output, const std::string& name);

} // namespace comsetup::test
