// The open terminals' table. The threads that open and close ports claim and free its slots;
// the walk for the process's end reads them from a signal handler, so it reads only atomics
// and the settings a slot was given before its descriptor was published there (they do not
// change until the descriptor is withdrawn).
#include "serial/linux/port_registry.h"
#include "serial/port_release.h"

#include <asm/termbits.h>
#include <atomic>
#include <cerrno>
#include <sys/ioctl.h>

namespace comsetup {
namespace posix {
namespace {

// A batch holds at most 256 ports; "auto" opens every free one meanwhile.
constexpr int kSlots = 1024;

struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<int> fd{-1}; // published once `saved` holds the settings
    termios2 saved{};
};

Slot g_slots[kSlots];
std::atomic<bool> g_ending{false};

static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

int Ioctl(int fd, unsigned long request, const void* arg) {
    int rc;
    do {
        rc = ::ioctl(fd, request, arg);
    } while (rc == -1 && errno == EINTR);
    return rc == -1 ? errno : 0;
}

// ioctl() only: safe in a signal handler.
int GiveBack(int fd, const termios2& saved, bool dropOutput) {
    if (dropOutput) {
        int rc;
        do {
            rc = ::ioctl(fd, TCFLSH, TCOFLUSH);
        } while (rc == -1 && errno == EINTR);
    }
    const int err = Ioctl(fd, TCSETS2, &saved);
    Ioctl(fd, TIOCNXCL, nullptr);
    return err;
}

} // namespace

int RegisterPort(int fd) {
    for (Slot& slot : g_slots) {
        bool expected = false;
        if (!slot.taken.compare_exchange_strong(expected, true))
            continue;
        if (const int err = Ioctl(fd, TCGETS2, &slot.saved); err != 0) {
            slot.taken.store(false);
            return -err;
        }
        slot.fd.store(fd);
        return static_cast<int>(&slot - g_slots);
    }
    return -EMFILE;
}

void ReleaseIfEnding(int slot) {
    // Published before this load: either the walk for the end saw the descriptor, or this
    // sees the end (both may; giving back twice changes nothing).
    if (g_ending.load())
        GiveBack(g_slots[slot].fd.load(), g_slots[slot].saved, true);
}

int GiveBackPort(int slot) {
    Slot& s = g_slots[slot];
    const int err = GiveBack(s.fd.load(), s.saved, false);
    s.fd.store(-1);
    s.taken.store(false);
    return err;
}

} // namespace posix

void ReleaseOpenPortsForExit() {
    const int savedErrno = errno;
    posix::g_ending.store(true);
    for (posix::Slot& slot : posix::g_slots) {
        const int fd = slot.fd.load();
        if (fd >= 0)
            posix::GiveBack(fd, slot.saved, true);
    }
    errno = savedErrno;
}

} // namespace comsetup
