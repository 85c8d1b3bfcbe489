// POSIX side of comsetup-cli: terminals, device probes, and SIGINT for tests.
#include "cli/platform.h"

#include <csignal>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace comsetup::cli {

const char* PortNamesHelp() {
    return "COM1..COM9 open /dev/ttyS0..8 unless COMSETUP_COMn names another device.";
}

bool OutputIsTerminal(bool stderrStream) {
    return ::isatty(stderrStream ? STDERR_FILENO : STDOUT_FILENO) == 1;
}

int TerminalColumns(bool stderrStream) {
    struct winsize size {};
    if (::ioctl(stderrStream ? STDERR_FILENO : STDOUT_FILENO, TIOCGWINSZ, &size) == 0) {
        return size.ws_col;
    }
    return 0;
}

std::string DeviceState(const std::string& device) {
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) {
        return "missing";
    }
    return S_ISCHR(info.st_mode) ? "present" : "not a character device";
}

void RaiseInterruptForTest() {
    std::raise(SIGINT);
}

} // namespace comsetup::cli
