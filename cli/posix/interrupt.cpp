// SIGINT handling: first interrupt cancels, second ends the process at once; SIGTERM and
// SIGHUP end it at once after a report. The handler only wakes the watcher thread, which
// records the end in the journal rows still open and then ends the process; a further signal
// meanwhile (or no watcher) ends it in the handler. Every end at once gives the ports back
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

constexpr const char* kInterruptedText = "\nInterrupted: ended at once, port closed.\n";
constexpr const char* kTerminatedText = "\nTerminated: ended at once, port closed.\n";

[[noreturn]] void EndNow(int code, const char* text) {
    ReleaseOpenPortsForExit();
    WriteAll(text);
    ::_exit(code);
}

// Hands an end at once to the watcher, which records it before the process ends.
bool WakeWatcher(int signal) {
    const auto byte = static_cast<unsigned char>(signal);
    return g_wake[1] >= 0 && ::write(g_wake[1], &byte, 1) == 1;
}

void OnInterrupt(int) {
    const int savedErrno = errno;
    const int count = interrupt_state::CountInterrupt();
    if (interrupt_state::EndingAtOnce()) {
        EndNow(kExitInterrupted, kInterruptedText); // the end under way waits on nothing more
    }
    if (count >= 2) {
        // One end at once at a time: one that comes while another is recorded ends here.
        if (!interrupt_state::BeginEndingAtOnce() || !WakeWatcher(SIGINT)) {
            EndNow(kExitInterrupted, kInterruptedText);
        }
        errno = savedErrno;
        return;
    }
    interrupt_state::CancelAll();
    WriteAll("\nCancel requested (press Ctrl+C again to end at once).\n");
    errno = savedErrno;
}

void OnTerminate(int signal) {
    const int savedErrno = errno;
    interrupt_state::CancelAll(); // nothing more is sent whatever the report takes
    if (!interrupt_state::BeginEndingAtOnce() || !WakeWatcher(signal)) {
        EndNow(kExitTerminated, kTerminatedText);
    }
    errno = savedErrno;
}

void EndAfterReport(int code) {
    ReleaseOpenPortsForExit();
    ::_exit(code);
}

void EndAfterInterrupt(int code) {
    ReleaseOpenPortsForExit();
    WriteAll(kInterruptedText);
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
        if (byte == SIGINT) {
            interrupt_state::EndInterrupted(EndAfterInterrupt);
        }
        const char* name = byte == SIGHUP ? "SIGHUP" : "SIGTERM";
        // Returns only when the command is printing its own results and ends by itself.
        interrupt_state::EndWithTerminationReport(name, EndAfterReport);
        interrupt_state::EndingAtOnceDropped();
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
