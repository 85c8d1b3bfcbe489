// POSIX monotonic clock and deadline sleep.
#include "download/precise_clock.h"

#include <cerrno>
#include <ctime>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace comsetup {

std::chrono::nanoseconds MonotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

void SleepUntil(std::chrono::nanoseconds deadline) {
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(deadline);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(secs.count());
    ts.tv_nsec = static_cast<long>((deadline - secs).count());
    // clock_nanosleep returns the error number itself; EINTR: sleep again to the same deadline.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

void RequestPreciseWakeUps() {
#if defined(__linux__)
    thread_local bool requested = false;
    if (!requested) {
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        requested = true;
    }
#endif
}

} // namespace comsetup
