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

std::string StandardOutputLost() {
    // A pipe's writer cannot ask whether its reader is still there without writing; a closed
    // standard output is seen, the rest when the result is written.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    return out == nullptr || out == INVALID_HANDLE_VALUE ? "no standard output" : "";
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
