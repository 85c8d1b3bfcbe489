// The platform's monotonic clock and an absolute-deadline sleep on it, as the real pacer
// needs them. One implementation file per platform (posix/, win32/precise_clock.cpp).
#pragma once

#include <chrono>

namespace comsetup {

// Monotonic time from an arbitrary origin (CLOCK_MONOTONIC on POSIX, the performance counter
// on Windows).
std::chrono::nanoseconds MonotonicNow();

// Sleeps until the monotonic clock reaches deadline (returns at once when it has already).
// Interrupted sleeps resume towards the same deadline.
void SleepUntil(std::chrono::nanoseconds deadline);

// Asks the platform to wake this thread's timed sleeps as close to their deadline as it can
// (Linux: timer slack of 1 ns instead of the default 50 us; Windows: a 1 ms system tick).
// Cheap after the first call.
void RequestPreciseWakeUps();

// While it lives, the calling thread runs at the lowest real-time priority (SCHED_FIFO 1 on
// POSIX, the highest priority of its class on Windows) where the system allows it, so the end of a
// pause does not queue behind other programs' work on a busy machine. Where it is not allowed
// nothing changes, quietly. Destroyed on the same thread, it restores the thread's previous
// scheduling.
class RealTimePriority {
public:
    RealTimePriority();
    ~RealTimePriority();
    RealTimePriority(const RealTimePriority&) = delete;
    RealTimePriority& operator=(const RealTimePriority&) = delete;
    bool Raised() const { return raised_; }

private:
    bool raised_ = false;
    int oldPolicy_ = 0;
    int oldPriority_ = 0;
};

} // namespace comsetup
