// Test helper: a terminal as the next program finds it, opened by path the way that program
// would: its settings and whether it is still exclusive.
#pragma once

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace comsetup::test {

struct LineState {
    bool opened = false;    // the settings below were read
    bool exclusive = false; // another program's open is refused
    termios settings{};
};

inline LineState ReadLineState(const std::string& path) {
    LineState state;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        state.exclusive = errno == EBUSY;
        return state;
    }
    // Root opens an exclusive terminal all the same: the kernel's flag tells.
    int exclusive = 0;
    state.exclusive = ::ioctl(fd, TIOCGEXCL, &exclusive) != 0 || exclusive != 0;
    state.opened = ::tcgetattr(fd, &state.settings) == 0;
    ::close(fd);
    return state;
}

// What a user's terminal looks like (line editing, signals, output processing) at a speed
// nobody here sets: a line handed back as found is told apart from one left raw. With a far
// end that echoes every byte, echo must stay off, or the far end talks to itself through it.
inline termios SetCookedLine(const std::string& path, bool echo) {
    termios t{};
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::tcgetattr(fd, &t) != 0) {
        if (fd >= 0)
            ::close(fd);
        return t;
    }
    t.c_iflag |= ICRNL;
    t.c_oflag |= OPOST | ONLCR;
    t.c_lflag |= ICANON | ISIG | IEXTEN;
    if (echo)
        t.c_lflag |= ECHO | ECHOE | ECHOK;
    else
        t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL);
    ::cfsetispeed(&t, B4800);
    ::cfsetospeed(&t, B4800);
    ::tcsetattr(fd, TCSANOW, &t);
    ::tcgetattr(fd, &t);
    ::close(fd);
    return t;
}

// "4800 i=... o=... l=... c=...": the fields a program relies on, compared in one go.
inline std::string Describe(const termios& t) {
    return std::to_string(::cfgetospeed(&t)) + " i=" + std::to_string(t.c_iflag) +
           " o=" + std::to_string(t.c_oflag) + " l=" + std::to_string(t.c_lflag) +
           " c=" + std::to_string(t.c_cflag);
}

} // namespace comsetup::test
