// Ctrl+C handling on Windows, through the console control handler, which the system runs on
// a thread of its own: Ctrl+C and Ctrl+Break cancel first and end the process the second
// time; closing the console, logging off or shutting down report what ended and end the
// process with kExitTerminated, like SIGTERM and SIGHUP on POSIX.
#include "cli/interrupt.h"

#include "cli/exit_codes.h"
#include "cli/interrupt_state.h"

#include <cstring>
#include <iostream>
#include <windows.h>

namespace comsetup::cli {

namespace {

void WriteStderr(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
              nullptr);
}

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        if (interrupt_state::CountInterrupt() >= 2 || interrupt_state::EndingAtOnce()) {
            // The journal rows still open say what ended, unless another end is recorded
            // already: then this one ends the process at once.
            const auto end = [](int code) {
                WriteStderr("\nInterrupted: ended at once, port closed.\n");
                ExitProcess(static_cast<UINT>(code));
            };
            if (!interrupt_state::BeginEndingAtOnce()) {
                end(kExitInterrupted);
            }
            interrupt_state::EndInterrupted(end);
        }
        interrupt_state::CancelAll();
        WriteStderr("\nCancel requested (press Ctrl+C again to end at once).\n");
        return TRUE;
    }
    // The console goes away: nothing more is sent, what ended is reported, the process ends.
    interrupt_state::CancelAll();
    const char* name = type == CTRL_CLOSE_EVENT ? "closing the console" : "logging off";
    if (interrupt_state::BeginEndingAtOnce()) {
        interrupt_state::EndWithTerminationReport(
            name, [](int code) { ExitProcess(static_cast<UINT>(code)); });
        interrupt_state::EndingAtOnceDropped();
    }
    // The command claimed its output: the console goes away all the same.
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
