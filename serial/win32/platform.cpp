// Windows error codes and texts; the event thread's priority; ports left to the system at exit.
#include "serial/platform.h"
#include "serial/port_release.h"

#include <windows.h>

namespace comsetup {

int OsErrorBadHandle() {
    return ERROR_INVALID_HANDLE;
}

int OsErrorInvalidArgument() {
    return ERROR_INVALID_PARAMETER;
}

int OsErrorDeviceGone() {
    return ERROR_BAD_COMMAND;
}

std::string SystemErrorText(int code) {
    char buf[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(code), 0, buf, sizeof buf, nullptr);
    std::string text(buf, n);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty())
        text = "system error " + std::to_string(code);
    return text;
}

void RaiseEventThreadPriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
}

void ReleaseOpenPortsForExit() {
    // A port handle is exclusive only while open; the system closes it with the process.
}

} // namespace comsetup
