// SIGINT handling: first interrupt cancels, second ends the process at once; SIGTERM and
// SIGHUP end it at once after a report.
#include "cli/interrupt.h"

#include "cli/exit_codes.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <mutex>
#include <unistd.h>

namespace comsetup::cli {

namespace {

constexpr int kSlots = 1024;
std::array<std::atomic<std::atomic<bool>*>, kSlots> g_flags{};
std::atomic<int> g_interrupts{0};
struct sigaction g_previous {};
struct sigaction g_previousTerm {};
struct sigaction g_previousHup {};

// The watcher's pipe: the handler writes the signal number, the destructor writes 0.
int g_wake[2] = {-1, -1};

std::mutex g_reportLock;
std::function<void(const char*)> g_report; // guarded by g_reportLock
bool g_outputClaimed = false;              // guarded by g_reportLock

static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

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
    const int count = g_interrupts.fetch_add(1) + 1;
    if (count >= 2) {
        WriteAll("\nInterrupted: ended at once, port closed.\n");
        ::_exit(kExitInterrupted);
    }
    for (auto& slot : g_flags) {
        if (std::atomic<bool>* flag = slot.load()) {
            flag->store(true);
        }
    }
    WriteAll("\nCancel requested (press Ctrl+C again to end at once).\n");
    errno = savedErrno;
}

void OnTerminate(int signal) {
    const int savedErrno = errno;
    for (auto& slot : g_flags) { // nothing more is sent whatever the report takes
        if (std::atomic<bool>* flag = slot.load()) {
            flag->store(true);
        }
    }
    const auto byte = static_cast<unsigned char>(signal);
    if (::write(g_wake[1], &byte, 1) != 1) {
        WriteAll("\nTerminated: ended at once, port closed.\n");
        ::_exit(kExitTerminated);
    }
    errno = savedErrno;
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
        std::unique_lock lock(g_reportLock);
        if (g_outputClaimed) {
            continue; // the command is printing its own results and ends by itself
        }
        if (g_report) {
            g_report(name);
        } else {
            std::cerr << "\nTerminated by " << name << ": ended at once." << std::endl;
        }
        std::cout.flush();
        std::cerr.flush();
        ::_exit(kExitTerminated);
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
    if (watcher_.joinable()) {
        sigaction(SIGTERM, &g_previousTerm, nullptr);
        sigaction(SIGHUP, &g_previousHup, nullptr);
        const unsigned char stop = 0;
        while (::write(g_wake[1], &stop, 1) < 0 && errno == EINTR) {
        }
        watcher_.join();
    }
}

TerminationReport::TerminationReport(std::function<void(const char*)> report) {
    std::lock_guard lock(g_reportLock);
    g_report = std::move(report);
    g_outputClaimed = false;
}

TerminationReport::~TerminationReport() {
    std::lock_guard lock(g_reportLock);
    g_report = nullptr;
}

void TerminationReport::ClaimOutput() {
    std::lock_guard lock(g_reportLock);
    g_outputClaimed = true;
}

CancelRegistration::CancelRegistration(std::atomic<bool>& flag) {
    for (int i = 0; i < kSlots; ++i) {
        std::atomic<bool>* expected = nullptr;
        if (g_flags[i].compare_exchange_strong(expected, &flag)) {
            slot_ = i;
            break;
        }
    }
    if (InterruptRequested()) {
        flag.store(true);
    }
}

CancelRegistration::~CancelRegistration() {
    if (slot_ >= 0) {
        g_flags[slot_].store(nullptr);
    }
}

bool InterruptRequested() {
    return g_interrupts.load() > 0;
}

void ResetInterruptsForTest() {
    g_interrupts.store(0);
}

} // namespace comsetup::cli
