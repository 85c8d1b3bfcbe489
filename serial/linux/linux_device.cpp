// POSIX device backend: a terminal opened exclusively and non-blocking.
//  - Exclusive: flock (catches every opener that locks, root included, and us) plus TIOCEXCL
//    (refuses other programs' opens); both are dropped when the device closes.
//  - Given back as found: the settings the terminal had before the open are restored at close
//    (a terminal keeps its settings between opens, and the port may be a user's own). The
//    open terminals are listed in a table that a signal handler can walk (port_registry.h),
//    so that a process ending at once gives them back too.
//  - Reads return at once with what has arrived; writes wait for room at most their time limit.
//  - Events: an epoll set holds the device (readability, edge-triggered: an unread byte is not
//    reported again) and an eventfd for Wake. Modem lines and line errors have no wake-up of
//    their own: while they are watched and the device answers the queries, the wait ticks
//    every few milliseconds to compare them. The transmit queue is compared the same way, only
//    between a write and the moment it is found empty.
#include "serial/comm_device.h"
#include "serial/linux/device_users.h"
#include "serial/linux/port_registry.h"
#include "serial/linux/termios_map.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace comsetup {
namespace {

constexpr int kStatusTickMs = 10;

template <typename F> auto RetryEintr(F call) {
    decltype(call()) rc;
    do {
        rc = call();
    } while (rc == -1 && errno == EINTR);
    return rc;
}

int Ioctl(int fd, unsigned long request, void* arg) {
    return RetryEintr([&] { return ::ioctl(fd, request, arg); });
}

void CloseFd(int fd) {
    if (fd >= 0)
        ::close(fd); // not retried: on Linux the descriptor is gone even after EINTR
}

class LinuxDevice final : public CommDevice {
public:
    LinuxDevice(int fd, int slot, int epfd, int wakefd)
        : fd_(fd), slot_(slot), epfd_(epfd), wakefd_(wakefd) {
        shadow_.Flags = dcbflag::Binary | dcbflag::DtrControlEnable | dcbflag::RtsControlEnable;
    }
    ~LinuxDevice() override {
        // Settings as found, exclusivity cleared; a device that went away refuses both, and
        // its close is all there is left to do.
        posix::GiveBackPort(slot_);
        CloseFd(epfd_);
        CloseFd(wakefd_);
        CloseFd(fd_);
    }

    int GetState(ControlBlock& dcb) override { return posix::ReadLine(fd_, shadow_, dcb); }
    int SetState(const ControlBlock& dcb) override {
        const int err = posix::ApplyLine(fd_, dcb);
        if (err == 0)
            shadow_ = dcb;
        // The process may be ending meanwhile (a signal): the settings stay as found.
        posix::ReleaseIfEnding(slot_);
        return err;
    }
    int SetTimeouts(const CommTimeouts& timeouts) override {
        // Reads never wait here (non-blocking, VMIN = VTIME = 0, set at open); the record only
        // bounds what the component already bounds with its own time limits.
        timeouts_ = timeouts;
        return 0;
    }
    int SetupQueues(int readSize, int writeSize) override {
        // The kernel sizes its own tty buffers; only nonsense is refused.
        return readSize < 0 || writeSize < 0 ? EINVAL : 0;
    }

    TransferResult Read(void* buf, int count, int /*timeoutMs*/) override {
        if (count <= 0)
            return {0, 0};
        const ssize_t n = RetryEintr([&] { return ::read(fd_, buf, static_cast<size_t>(count)); });
        if (n > 0)
            return {0, static_cast<int>(n)};
        if (n == 0) {
            // Nothing waiting, or a hung-up device (unplugged adapter, closed far end of a
            // pseudo-terminal) whose reads all end at once with nothing: tell them apart.
            pollfd pfd{fd_, POLLIN, 0};
            if (RetryEintr([&] { return ::poll(&pfd, 1, 0); }) == 1 && (pfd.revents & POLLHUP))
                return {EIO, 0};
            return {0, 0};
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {0, 0};
        return {errno, 0};
    }

    TransferResult Write(const void* buf, int count, int timeoutMs) override {
        const auto* p = static_cast<const char*>(buf);
        int done = 0;
        std::chrono::steady_clock::time_point deadline{}; // read from the clock only when needed
        while (done < count) {
            const ssize_t n = RetryEintr(
                [&] { return ::write(fd_, p + done, static_cast<size_t>(count - done)); });
            if (n > 0) {
                done += static_cast<int>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return {errno, 0};
            // The line holds the bytes back: wait for room until the deadline.
            if (deadline == std::chrono::steady_clock::time_point{})
                deadline = std::chrono::steady_clock::now() +
                           std::chrono::milliseconds(std::max(timeoutMs, 0));
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return {0, -1};
            pollfd pfd{fd_, POLLOUT, 0};
            const int rc =
                RetryEintr([&] { return ::poll(&pfd, 1, static_cast<int>(left.count())); });
            if (rc < 0)
                return {errno, 0};
            if (rc == 0)
                return {0, -1};
            if (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))
                return {EIO, 0};
        }
        // An emptied transmit queue has no wake-up of its own: the first write after it was
        // reported wakes the event thread, which then ticks until the queue is empty.
        if (count > 0 && (mask_.load(std::memory_order_relaxed) & commevent::TxEmpty) &&
            !txPending_.exchange(true, std::memory_order_acq_rel))
            Wake();
        return {0, count};
    }

    int ClearErrors(uint32_t& errors, int& inQueue) override {
        // The error bits are this device's own record and always known; only the count can fail.
        // A plain load first: the locked exchange costs more than the query itself.
        errors = pendingErrors_.load(std::memory_order_relaxed) == 0
                     ? 0
                     : pendingErrors_.exchange(0, std::memory_order_acq_rel);
        int n = 0;
        if (RetryEintr([&] { return ::ioctl(fd_, FIONREAD, &n); }) == -1)
            return errno;
        inQueue = n;
        return 0;
    }

    void Purge(uint32_t flags) override {
        const bool rx = flags & (purge::RxAbort | purge::RxClear);
        const bool tx = flags & (purge::TxAbort | purge::TxClear);
        if (rx || tx)
            RetryEintr([&] {
                return ::tcflush(fd_, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH);
            });
    }

    int WaitInput(int timeoutMs, bool& ready) override {
        pollfd pfd{fd_, POLLIN, 0};
        const int rc = RetryEintr([&] { return ::poll(&pfd, 1, timeoutMs < 0 ? -1 : timeoutMs); });
        ready = rc > 0;
        return rc < 0 ? errno : 0;
    }

    // Owner thread. The status baseline belongs to the event thread: it is taken there, at the
    // start of the next wait, which this call brings about with a wake-up.
    void SetEventMask(uint32_t mask) override {
        const uint32_t old = mask_.exchange(mask, std::memory_order_acq_rel);
        if (!(mask & commevent::TxEmpty))
            txPending_.store(false, std::memory_order_relaxed);
        // The device's own wake-ups: readability for received bytes, hang-ups (reported as
        // errors). A terminal wakes its pollers on every transfer, also for readiness nobody
        // asked for, so the device stays out of the set unless one of the two is watched.
        uint32_t want = 0;
        if (mask & (commevent::RxChar | commevent::Err))
            want = EPOLLET | EPOLLRDHUP | ((mask & commevent::RxChar) ? EPOLLIN : 0u);
        if (want != registered_ && !hungUp_.load(std::memory_order_acquire)) {
            epoll_event ev{};
            ev.events = want;
            ev.data.fd = fd_;
            const int op = want == 0          ? EPOLL_CTL_DEL
                           : registered_ == 0 ? EPOLL_CTL_ADD
                                              : EPOLL_CTL_MOD;
            ::epoll_ctl(epfd_, op, fd_, &ev);
            registered_ = want;
        }
        rebaseline_.store(true, std::memory_order_release);
        if (configured_ && old != mask)
            Wake(); // a waiting thread takes up the new tick and baseline
        configured_ = true;
    }

    // A terminal cannot tell the event character's arrival without consuming the bytes.
    uint32_t ReportableEvents() const override { return 0x01FF & ~commevent::RxFlag; }
    std::vector<std::string> OtherUsers() const override {
        return posix::ProgramsWithDeviceOpen(fd_);
    }

    int WaitEvent(uint32_t& events) override {
        events = 0;
        if (rebaseline_.exchange(false, std::memory_order_acq_rel))
            TakeStatusBaseline();
        epoll_event got[2];
        const int n = RetryEintr([&] { return ::epoll_wait(epfd_, got, 2, TickMs()); });
        if (n < 0)
            return errno;
        for (int i = 0; i < n; ++i) {
            if (got[i].data.fd == wakefd_) {
                uint64_t value;
                RetryEintr([&] { return ::read(wakefd_, &value, sizeof value); });
                continue;
            }
            if (got[i].events & EPOLLIN)
                events |= commevent::RxChar;
            if (got[i].events & (EPOLLHUP | EPOLLERR | EPOLLRDHUP)) {
                pendingErrors_.fetch_or(commerror::IoError, std::memory_order_acq_rel);
                events |= commevent::Err;
                ::epoll_ctl(epfd_, EPOLL_CTL_DEL, fd_, nullptr); // reported once, not in a loop
                hungUp_.store(true, std::memory_order_release);
            }
        }
        if (!hungUp_.load(std::memory_order_relaxed))
            events |= CompareStatus();
        events &= mask_.load(std::memory_order_relaxed);
        return 0;
    }

    void Wake() override {
        const uint64_t one = 1;
        RetryEintr([&] { return ::write(wakefd_, &one, sizeof one); });
    }

private:
    static constexpr uint32_t kLineEvents = commevent::Cts | commevent::Dsr | commevent::Rlsd |
                                            commevent::Ring | commevent::Break | commevent::Err;

    // Which status queries this device answers decides what the tick compares.
    void TakeStatusBaseline() {
        serial_icounter_struct ic{};
        haveCounters_ = Ioctl(fd_, TIOCGICOUNT, &ic) == 0;
        if (haveCounters_)
            counters_ = ic;
        int lines = 0;
        haveLines_ = Ioctl(fd_, TIOCMGET, &lines) == 0;
        lines_ = lines;
    }

    int TickMs() const {
        if (hungUp_.load(std::memory_order_relaxed))
            return -1;
        const uint32_t mask = mask_.load(std::memory_order_relaxed);
        const bool lines = (mask & kLineEvents) && (haveCounters_ || haveLines_);
        const bool tx = (mask & commevent::TxEmpty) && txPending_.load(std::memory_order_acquire);
        return lines || tx ? kStatusTickMs : -1;
    }

    // Event thread only: compares the modem lines, error counters and transmit queue with
    // what the last tick saw.
    uint32_t CompareStatus() {
        uint32_t events = 0;
        if ((mask_.load(std::memory_order_relaxed) & commevent::TxEmpty) &&
            txPending_.load(std::memory_order_acquire)) {
            int queued = 0;
            if (Ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued == 0) {
                txPending_.store(false, std::memory_order_release);
                events |= commevent::TxEmpty;
            }
        }
        if (haveCounters_) {
            serial_icounter_struct ic{};
            if (Ioctl(fd_, TIOCGICOUNT, &ic) == 0) {
                if (ic.cts != counters_.cts)
                    events |= commevent::Cts;
                if (ic.dsr != counters_.dsr)
                    events |= commevent::Dsr;
                if (ic.dcd != counters_.dcd)
                    events |= commevent::Rlsd;
                if (ic.rng != counters_.rng)
                    events |= commevent::Ring;
                uint32_t errors = 0;
                if (ic.brk != counters_.brk) {
                    events |= commevent::Break;
                    errors |= commerror::Break;
                }
                if (ic.frame != counters_.frame)
                    errors |= commerror::Frame;
                if (ic.overrun != counters_.overrun)
                    errors |= commerror::Overrun;
                if (ic.parity != counters_.parity)
                    errors |= commerror::RxParity;
                if (ic.buf_overrun != counters_.buf_overrun)
                    errors |= commerror::RxOver;
                if (errors != 0) {
                    pendingErrors_.fetch_or(errors, std::memory_order_acq_rel);
                    events |= commevent::Err;
                }
                counters_ = ic;
            }
        } else if (haveLines_) {
            int lines = 0;
            if (Ioctl(fd_, TIOCMGET, &lines) == 0) {
                const int changed = lines ^ lines_;
                if (changed & TIOCM_CTS)
                    events |= commevent::Cts;
                if (changed & TIOCM_DSR)
                    events |= commevent::Dsr;
                if (changed & TIOCM_CD)
                    events |= commevent::Rlsd;
                if (changed & TIOCM_RI)
                    events |= commevent::Ring;
                lines_ = lines;
            }
        }
        return events;
    }

    const int fd_;
    const int slot_; // in the open terminals' table
    const int epfd_;
    const int wakefd_;
    ControlBlock shadow_;   // owner thread
    CommTimeouts timeouts_; // owner thread
    std::atomic<uint32_t> pendingErrors_{0};
    std::atomic<bool> txPending_{false};
    std::atomic<uint32_t> mask_{0};
    std::atomic<bool> rebaseline_{false};
    // Owner thread: the epoll events the device is registered with (0: not in the set), and
    // whether the event thread may already be waiting.
    uint32_t registered_ = 0;
    bool configured_ = false;
    // Event thread (SetEventMask runs before the thread starts).
    bool haveCounters_ = false;
    bool haveLines_ = false;
    std::atomic<bool> hungUp_{false}; // written by the event thread only
    serial_icounter_struct counters_{};
    int lines_ = 0;
};

} // namespace

OpenResult OpenSystemDevice(const std::string& path) {
    const int fd = RetryEintr(
        [&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return {nullptr, errno};
    auto fail = [&](int err) {
        CloseFd(fd);
        return OpenResult{nullptr, err};
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(errno);
    if (!S_ISCHR(st.st_mode) || !::isatty(fd))
        return fail(kNotSerialDevice);
    if (RetryEintr([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    // Listed before anything changes, so that every change can be undone from here on.
    const int slot = posix::RegisterPort(fd);
    if (slot < 0)
        return fail(-slot);
    auto failListed = [&](int err) {
        posix::GiveBackPort(slot);
        return fail(err);
    };
    if (RetryEintr([&] { return ::ioctl(fd, TIOCEXCL); }) != 0)
        return failListed(errno);
    if (int err = posix::MakeRaw(fd); err != 0)
        return failListed(err);
    const int epfd = ::epoll_create1(EPOLL_CLOEXEC);
    const int wakefd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = wakefd;
    if (epfd < 0 || wakefd < 0 || ::epoll_ctl(epfd, EPOLL_CTL_ADD, wakefd, &ev) != 0) {
        const int err = errno;
        CloseFd(epfd);
        CloseFd(wakefd);
        return failListed(err);
    }
    // The process may have begun to end meanwhile (a signal): then the walk of the table may
    // have come before the changes above.
    posix::ReleaseIfEnding(slot);
    return {std::make_unique<LinuxDevice>(fd, slot, epfd, wakefd), 0};
}

} // namespace comsetup
