// Ctrl+C handling on Windows, through the console control handler, which the system runs on
// a thread of its own: Ctrl+C and Ctrl+Break cancel first and end the process the second
// time; closing the console, logging off or shutting down report what ended and end the
// process with kExitTerminated, like SIGTERM and SIGHUP on POSIX.
#include "cli/interrupt.h"

#include "cli/exit_codes.h"

#include <array>
#include <cstring>
#include <iostream>
#include <mutex>
#include <windows.h>

namespace comsetup::cli {

namespace {

constexpr int kSlots = 1024;
std::array<std::atomic<std::atomic<bool>*>, kSlots> g_flags{};
std::atomic<int> g_interrupts{0};
std::mutex g_reportLock;
std::function<void(const char*)> g_report; // guarded by g_reportLock
bool g_outputClaimed = false;              // guarded by g_reportLock

void WriteStderr(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
              nullptr);
}

void CancelAll() {
    for (auto& slot : g_flags) {
        if (std::atomic<bool>* flag = slot.load()) {
            flag->store(true);
        }
    }
}

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        if (g_interrupts.fetch_add(1) + 1 >= 2) {
            WriteStderr("\nInterrupted: ended at once, port closed.\n");
            ExitProcess(kExitInterrupted);
        }
        CancelAll();
        WriteStderr("\nCancel requested (press Ctrl+C again to end at once).\n");
        return TRUE;
    }
    // The console goes away: nothing more is sent, what ended is reported, the process ends.
    CancelAll();
    const char* name = type == CTRL_CLOSE_EVENT ? "closing the console" : "logging off";
    std::unique_lock lock(g_reportLock);
    if (!g_outputClaimed) {
        if (g_report) {
            g_report(name);
        } else {
            std::cerr << "\nTerminated by " << name << ": ended at once." << std::endl;
        }
    }
    std::cout.flush();
    std::cerr.flush();
    ExitProcess(kExitTerminated);
}

} // namespace

InterruptHandler::InterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

InterruptHandler::~InterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
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

void DeliverConsoleControlForTest(unsigned long type) {
    // The system runs the handler on a thread of its own; so does this.
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* arg) -> DWORD {
            OnConsoleControl(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(arg)));
            return 0;
        },
        reinterpret_cast<void*>(static_cast<ULONG_PTR>(type)), 0, nullptr);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

} // namespace comsetup::cli
