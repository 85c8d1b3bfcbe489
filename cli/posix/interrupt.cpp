// SIGINT handling: first interrupt cancels, second ends the process at once; SIGTERM and
// SIGHUP end it at once after a report. Every end at once first gives the ports back
// (settings as found, not exclusive); SIGPIPE is ignored while downloads run.
#include "cli/interrupt.h"

#include "cli/exit_codes.h"
#include "cli/interrupt_state.h"

#include "serial/port_release.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace comsetup::cli {

namespace {

struct sigaction g_previous {};
struct sigaction g_previousTerm {};
struct sigaction g_previousHup {};
struct sigaction g_previousPipe {};

// The watcher's pipe: the handler writes the signal number, the destructor writes 0.
int g_wake[2] = {-1, -1};

void WriteAll(const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text += written;
        left -= static_cast<std::size_t>(written);
    }
}

void OnInterrupt(int) {
    const int savedErrno = errno;
    if (interrupt_state::CountInterrupt() >= 2) {
        ReleaseOpenPortsForExit();
        WriteAll("\nInterrupted: ended at once, port closed.\n");
        ::_exit(kExitInterrupted);
    }
    interrupt_state::CancelAll();
    WriteAll("\nCancel requested (press Ctrl+C again to end at once).\n");
    errno = savedErrno;
}

void OnTerminate(int signal) {
    const int savedErrno = errno;
    interrupt_state::CancelAll(); // nothing more is sent whatever the report takes
    const auto byte = static_cast<unsigned char>(signal);
    if (::write(g_wake[1], &byte, 1) != 1) {
        ReleaseOpenPortsForExit();
        WriteAll("\nTerminated: ended at once, port closed.\n");
        ::_exit(kExitTerminated);
    }
    errno = savedErrno;
}

void EndAfterReport(int code) {
    ReleaseOpenPortsForExit();
    ::_exit(code);
}

void Watch() {
    for (;;) {
        unsigned char byte = 0;
        const ssize_t got = ::read(g_wake[0], &byte, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got != 1 || byte == 0) {
            return;
        }
        const char* name = byte == SIGHUP ? "SIGHUP" : "SIGTERM";
        // Returns only when the command is printing its own results and ends by itself.
        interrupt_state::EndWithTerminationReport(name, EndAfterReport);
    }
}

} // namespace

InterruptHandler::InterruptHandler() {
    if (g_wake[0] < 0 && ::pipe2(g_wake, O_CLOEXEC) != 0) {
        g_wake[0] = g_wake[1] = -1;
    }
    if (g_wake[0] >= 0) {
        watcher_ = std::thread(Watch);
    }
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &g_previous);
    // A reader that goes away (`| head`) makes writes to standard output fail instead of
    // ending the process silently with the port in the middle of a menu: the download's
    // reporter then cancels it (console_reporter.h).
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &g_previousPipe);
    if (watcher_.joinable()) {
        struct sigaction terminate {};
        terminate.sa_handler = OnTerminate;
        sigemptyset(&terminate.sa_mask);
        terminate.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &terminate, &g_previousTerm);
        sigaction(SIGHUP, &terminate, &g_previousHup);
    }
}

InterruptHandler::~InterruptHandler() {
    sigaction(SIGINT, &g_previous, nullptr);
    sigaction(SIGPIPE, &g_previousPipe, nullptr);
    if (watcher_.joinable()) {
        sigaction(SIGTERM, &g_previousTerm, nullptr);
        sigaction(SIGHUP, &g_previousHup, nullptr);
        const unsigned char stop = 0;
        while (::write(g_wake[1], &stop, 1) < 0 && errno == EINTR) {
        }
        watcher_.join();
    }
}

} // namespace comsetup::cli
