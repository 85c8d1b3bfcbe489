// Ctrl+C handling of comsetup-cli (posix: interrupt.cpp; Windows: win32/interrupt.cpp, the
// console control handler). The first SIGINT acts as the progress dialog's "Cancel":
// it sets the cancel flag of every download in progress (the download ends its current wait,
// or skips the restart wait once its script runs). A second SIGINT ends the process at once.
// A terminal keeps its settings and its exclusivity after the process that set them has
// ended, so every end at once gives the open ports back (ReleaseOpenPortsForExit: the
// settings they had before the download, not exclusive); the system then closes them.
//
// SIGTERM and SIGHUP (a service manager stopping the tool, the terminal closing) end the
// process at once like a second Ctrl+C, but first what ended is reported. Neither can be
// recorded in a signal handler: the handler wakes a watcher thread through a pipe, and that
// thread runs the TerminationReport in force (the result object, the batch table; none for
// a second Ctrl+C), completes the journal rows still open as terminated or interrupted with
// what their downloads brought so far (journal_record.h, a short wait for a locked journal),
// gives the ports back and ends the process with kExitTerminated or kExitInterrupted. A
// signal that comes while that is under way ends the process at once in its handler.
//
// SIGPIPE is ignored while the handler is installed: a closed standard output is a failed
// write, which cancels the download (console_reporter.h), not a silent end.
//
// The handler only touches lock-free atomics and calls write(), ioctl() and _exit(), which are
// safe in a signal handler. Flags are kept in a fixed table of slots; a download registers its
// flag for as long as it runs.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace comsetup::cli {

// Installs the SIGINT, SIGTERM and SIGHUP handlers, ignores SIGPIPE and starts the watcher
// thread for its lifetime (one at a time), then restores the previous handlers.
class InterruptHandler {
public:
    InterruptHandler();
    ~InterruptHandler();
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

private:
    std::thread watcher_;
};

// What to print when SIGTERM or SIGHUP ends the process, while alive (one at a time). The
// report runs on the watcher thread with the signal's name ("SIGTERM"); the process then
// ends with kExitTerminated. The command's own end calls ClaimOutput before it prints its
// results, so that exactly one of the two reports is printed.
class TerminationReport {
public:
    explicit TerminationReport(std::function<void(const char* signal)> report);
    ~TerminationReport();
    TerminationReport(const TerminationReport&) = delete;
    TerminationReport& operator=(const TerminationReport&) = delete;

    // From here on a signal no longer reports; waits while a report is being printed (the
    // process then ends there).
    void ClaimOutput();
};

// Keeps flag registered while alive: an interrupt sets it to true. When an interrupt already
// came, registering sets the flag at once.
class CancelRegistration {
public:
    explicit CancelRegistration(std::atomic<bool>& flag);
    ~CancelRegistration();
    CancelRegistration(const CancelRegistration&) = delete;
    CancelRegistration& operator=(const CancelRegistration&) = delete;

private:
    int slot_ = -1;
};

// True once the first interrupt has come (a download that clears its flag at its start uses
// this to set it again).
bool InterruptRequested();

// Forgets interrupts received so far (tests raise SIGINT in-process one case at a time).
void ResetInterruptsForTest();

#ifdef _WIN32
// Runs the console control handler for type (CTRL_C_EVENT ...) as the system would (tests).
void DeliverConsoleControlForTest(unsigned long type);
#endif

} // namespace comsetup::cli
