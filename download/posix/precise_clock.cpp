// POSIX monotonic clock and deadline sleep.
#include "download/precise_clock.h"

#include <cerrno>
#include <ctime>
#include <pthread.h>
#include <sched.h>

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

RealTimePriority::RealTimePriority() {
    sched_param old{};
    if (pthread_getschedparam(pthread_self(), &oldPolicy_, &old) != 0 || oldPolicy_ != SCHED_OTHER)
        return; // already real-time (or unknown): leave it as the caller set it
    oldPriority_ = old.sched_priority;
    sched_param fifo{};
    fifo.sched_priority = sched_get_priority_min(SCHED_FIFO);
    raised_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) == 0; // EPERM: as is
}

RealTimePriority::~RealTimePriority() {
    if (!raised_)
        return;
    sched_param old{};
    old.sched_priority = oldPriority_;
    pthread_setschedparam(pthread_self(), oldPolicy_, &old);
}

} // namespace comsetup
