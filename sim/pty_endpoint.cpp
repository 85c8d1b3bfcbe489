#include "sim/pty_endpoint.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace comsetup::sim {
namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno) + " (errno " +
                             std::to_string(errno) + ")");
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd); // not retried on EINTR: the descriptor is released either way on Linux
    fd = -1;
}

void MakeRaw(int fd) {
    termios t{};
    while (::tcgetattr(fd, &t) != 0) {
        if (errno != EINTR)
            Fail("tcgetattr on the pseudo-terminal");
    }
    ::cfmakeraw(&t);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    while (::tcsetattr(fd, TCSANOW, &t) != 0) {
        if (errno != EINTR)
            Fail("tcsetattr on the pseudo-terminal");
    }
}

std::string ReadLinkTarget(const std::string& path) {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size() - 1);
    if (n < 0)
        return {};
    return std::string(buf.data(), static_cast<std::size_t>(n));
}

} // namespace

namespace {
int OpenSlave(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}
} // namespace

PtyEndpoint::PtyEndpoint() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        Fail("posix_openpt");
    auto failClosing = [&](const std::string& what) {
        const int saved = errno;
        CloseFd(master_);
        errno = saved;
        Fail(what);
    };
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        failClosing("grantpt/unlockpt");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0)
        failClosing("ptsname_r");
    slavePath_ = name;
    // The line settings belong to the pseudo-terminal and outlive this open.
    int slave = OpenSlave(slavePath_);
    if (slave < 0)
        failClosing("open " + slavePath_);
    try {
        MakeRaw(slave);
    } catch (...) {
        CloseFd(slave);
        CloseFd(master_);
        throw;
    }
    CloseFd(slave);
}

PtyEndpoint::~PtyEndpoint() {
    Close();
}

bool PtyEndpoint::DiscardUnread() {
    int slave = OpenSlave(slavePath_);
    if (slave < 0)
        return false;
    const bool ok = ::tcflush(slave, TCIFLUSH) == 0;
    CloseFd(slave);
    return ok;
}

void PtyEndpoint::Close() {
    CloseFd(master_);
}

PtyLink::PtyLink(const std::string& linkPath, const std::string& target)
    : path_(linkPath), target_(target) {
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            Fail("cannot create the link " + path_ + ", a file that is not a symlink is there");
        }
        if (::unlink(path_.c_str()) != 0)
            Fail("cannot replace the old link " + path_);
    }
    if (::symlink(target_.c_str(), path_.c_str()) != 0)
        Fail("cannot create the link " + path_);
}

PtyLink::~PtyLink() {
    Remove();
}

void PtyLink::Remove() {
    if (path_.empty())
        return;
    if (ReadLinkTarget(path_) == target_)
        ::unlink(path_.c_str());
    path_.clear();
}

} // namespace comsetup::sim
