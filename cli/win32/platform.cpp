// Windows side of comsetup-cli: consoles and port probes.
#include "cli/platform.h"

#include "cli/interrupt.h"

#include <cstring>
#include <iostream>
#include <windows.h>

namespace comsetup::cli {

namespace {

HANDLE StdHandle(bool stderrStream) {
    return GetStdHandle(stderrStream ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

} // namespace

const char* PortNamesHelp() {
    return "--port takes the system's COM names (COM1, COM12); list-ports shows them.";
}

bool OutputIsTerminal(bool stderrStream) {
    // Only a console shows the live progress line; a pipe or file gets plain lines.
    DWORD mode = 0;
    return GetConsoleMode(StdHandle(stderrStream), &mode) != 0;
}

bool InputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

std::optional<std::string> ReadInputLine() {
    // The console handler stops a pending read on Ctrl+C: the read fails and ends the wait.
    std::string line;
    if (!std::getline(std::cin, line) || InterruptRequested()) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

int TerminalColumns(bool stderrStream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(StdHandle(stderrStream), &info)) {
        return 0;
    }
    return info.srWindow.Right - info.srWindow.Left + 1;
}

std::string ExplainOpenFailure(const std::string& port, const std::string& device) {
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        const bool character = GetFileType(h) == FILE_TYPE_CHAR;
        CloseHandle(h);
        return character ? "could not be opened (in use by another program?)" : "not a serial port";
    }
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "no such port (list-ports shows the ports found" +
               std::string(port.empty() ? "" : "; " + port + " is not one of them") + ")";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return "in use by another program";
    default:
        return "could not be opened (system error " + std::to_string(GetLastError()) + ")";
    }
}

std::string DeviceState(const std::string& device) {
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        const bool character = GetFileType(h) == FILE_TYPE_CHAR;
        CloseHandle(h);
        return character ? "present" : "not a character device";
    }
    const DWORD err = GetLastError();
    return err == ERROR_ACCESS_DENIED ? "present, in use" : "missing";
}

void RaiseInterruptForTest() {
    DeliverConsoleControlForTest(CTRL_C_EVENT);
}

} // namespace comsetup::cli
