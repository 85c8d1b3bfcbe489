// POSIX side of comsetup-cli: terminals, device probes, and SIGINT for tests.
#include "cli/platform.h"

#include "cli/interrupt.h"

#include "download/printable_text.h"
#include "serial/port_names.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace comsetup::cli {

namespace {} // namespace

const char* PortNamesHelp() {
    return "COM1..COM9 open /dev/ttyS0..8 unless COMSETUP_COMn names another device.";
}

bool OutputIsTerminal(bool stderrStream) {
    return ::isatty(stderrStream ? STDERR_FILENO : STDOUT_FILENO) == 1;
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

// Why a device could not be opened, as far as the file system tells (the download's own
// message names only the port).
std::string ExplainOpenFailure(const std::string& port, const std::string& device) {
    // The caller names the port; the device is named too when the port name maps to it.
    const std::string named = device == port ? "" : PrintableDeviceName(device) + ": ";
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) {
        if (errno == ELOOP) {
            return named + "a loop of symbolic links, no device at its end";
        }
        std::string text = named + "no such device";
        if (const int n = ComNumber(port); n > 0 && device != port) {
            // The variable the program reads, however the port was spelt (com1, COM01).
            text += " (" + port + " opens it; COMSETUP_COM" + std::to_string(n) +
                    " can name another device, and list-ports shows the devices found)";
        }
        return text;
    }
    if (!S_ISCHR(info.st_mode)) {
        return named + "not a serial device";
    }
    int fd = -1;
    do {
        fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == EACCES) {
            return named + "permission denied (is the user in the dialout group?)";
        }
        if (errno == EBUSY) {
            return named + "in use by another program";
        }
        return named + std::strerror(errno);
    }
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return named +
           (terminal ? "could not be opened (in use by another program?)" : "not a serial device");
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
