// What comsetup-cli asks of the platform: whether an output stream is a terminal (console)
// and how wide it is, a line from a user at a terminal, what state a device is in, and the
// Ctrl+C delivered the system's way for tests. One implementation per platform (posix/, win32/).
#pragma once

#include <optional>
#include <string>

namespace comsetup::cli {

// How port names reach devices here, for --help.
const char* PortNamesHelp();

// stderrStream false: standard output; true: standard error.
bool OutputIsTerminal(bool stderrStream);
int TerminalColumns(bool stderrStream); // 0 when unknown

// Why standard output can take nothing more (its reader went away: "Broken pipe"; closed:
// "Bad file descriptor"), asked without writing; "" while it can.
std::string StandardOutputLost();

// Standard input is a terminal (a user to ask), not a pipe or a file.
bool InputIsTerminal();
// One line of standard input without its line end; nothing at its end or once an interrupt
// (Ctrl+C) came while waiting, so that a prompt never outlives the user's Ctrl+C.
std::optional<std::string> ReadInputLine();

// "present", "missing", or why the device is no port, for the port list.
std::string DeviceState(const std::string& device);

// Delivers one Ctrl+C to this process the way the system does (tests).
void RaiseInterruptForTest();

} // namespace comsetup::cli
