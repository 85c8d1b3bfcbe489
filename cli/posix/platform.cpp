// POSIX side of comsetup-cli: terminals, device probes, and SIGINT for tests.
#include "cli/platform.h"

#include "cli/interrupt.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
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

std::string StandardOutputLost() {
    // The write end of a pipe whose reader left reports POLLERR; a closed descriptor POLLNVAL.
    pollfd out{STDOUT_FILENO, 0, 0};
    if (::poll(&out, 1, 0) != 1) {
        return {};
    }
    if ((out.revents & POLLNVAL) != 0) {
        return std::strerror(EBADF);
    }
    return (out.revents & (POLLERR | POLLHUP)) != 0 ? std::strerror(EPIPE) : std::string();
}

bool InputIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

std::optional<std::string> ReadInputLine() {
    // Byte by byte, so that nothing after the line is taken from the next reader; a short
    // poll lets a Ctrl+C (the handler restarts reads) end the wait.
    std::string line;
    for (;;) {
        if (InterruptRequested()) {
            return std::nullopt;
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&input, 1, 100);
        if (ready < 0 && errno != EINTR) {
            return std::nullopt;
        }
        if (ready <= 0) {
            continue;
        }
        char c = 0;
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return line.empty() ? std::nullopt : std::optional<std::string>(line);
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
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
