// One byte's round trip through the port component against a far end that echoes it, as
// comsetup-cli runs the component (owner pump, event thread): latency per exchange (median,
// p99) and the CPU time of the whole process (every thread) per exchange. Plain main, no
// benchmark library, so that the same program builds for Linux and for Windows; a script runs
// both builds against one echo in interleaved rounds.
//
//   comsetup_serial_roundtrip PORT [EXCHANGES]     (PORT: /dev/pts/N, a link to it, or COMn)
//   comsetup_serial_roundtrip --echo LINK          (Linux: a pty that echoes, LINK -> its slave)
#include "serial/comm.h"
#include "serial/owner_pump.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

// User + system time of the process, all threads, in microseconds.
double ProcessCpuUs() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    auto us = [](const FILETIME& f) {
        return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) |
                                   f.dwLowDateTime) /
               10.0; // 100 ns units
    };
    return us(kernel) + us(user);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
#endif
}

#ifndef _WIN32
// The echo: a pty whose master returns every byte. A spare slave descriptor stays open so that
// the far end never sees a hang-up between the clients' opens and closes.
int RunEcho(const char* link) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    const int keeper = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    termios t{};
    ::tcgetattr(keeper, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(keeper, TCSANOW, &t);
    ::unlink(link);
    if (::symlink(::ptsname(master), link) != 0) {
        std::fprintf(stderr, "cannot make the link %s\n", link);
        return 1;
    }
    std::printf("ready %s\n", ::ptsname(master));
    std::fflush(stdout);
    char buf[256];
    for (;;) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0)
            (void)!::write(master, buf, static_cast<size_t>(n));
        else if (n < 0 && errno != EINTR && errno != EIO)
            return 1;
    }
}
#endif

double Percentile(std::vector<double>& sorted, double p) {
    const auto i = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(i, sorted.size() - 1)];
}

int RunRoundTrips(const std::string& port, int exchanges) {
    comsetup::QueuedOwnerPump pump;
    TComm comm(&pump);
    comm.SetDeviceName(port);
    comm.SetFlowControl(fcNone);
    comm.Open();
    char c = 'x';
    auto exchange = [&] {
        comm.Write(&c, 1);
        comm.WaitForInput(1000);
        const bool echoed = comm.Read(&c, 1) == 1;
        pump.RunPending(); // between exchanges, as the pacer pumps while it waits
        return echoed;
    };
    for (int i = 0; i < 100; ++i) // warm-up: first opens, page faults, the event thread
        if (!exchange()) {
            std::fprintf(stderr, "%s: no echo\n", port.c_str());
            return 1;
        }
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(exchanges));
    int lost = 0;
    const double cpu0 = ProcessCpuUs();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < exchanges; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        lost += exchange() ? 0 : 1;
        us.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    const double wallUs =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    const double cpuUs = ProcessCpuUs() - cpu0;
    std::sort(us.begin(), us.end());
    std::printf("exchanges %d lost %d latency median %.1f us p99 %.1f us max %.1f us "
                "cpu per exchange %.1f us wall per exchange %.1f us\n",
                exchanges, lost, Percentile(us, 0.5), Percentile(us, 0.99), us.back(),
                cpuUs / exchanges, wallUs / exchanges);
    return lost == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PORT [EXCHANGES] | --echo LINK\n", argv[0]);
        return 2;
    }
    const std::string first = argv[1];
    if (first == "--echo") {
#ifdef _WIN32
        std::fprintf(stderr, "--echo needs a pseudo-terminal (Linux)\n");
        return 2;
#else
        return argc > 2 ? RunEcho(argv[2]) : 2;
#endif
    }
    const int exchanges = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
    try {
        return RunRoundTrips(first, exchanges);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", first.c_str(), e.what());
        return 1;
    }
}
