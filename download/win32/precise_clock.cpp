// Windows monotonic clock (the performance counter) and deadline sleep. The sleep waits on a
// high-resolution waitable timer (plain timer with a 1 ms system period where that kind is
// missing) until shortly before the deadline, then yields the processor until the deadline:
// never short, a small excess, and the processor is used only in that last stretch.
#include "download/precise_clock.h"

#include <windows.h>
// After windows.h: the multimedia timer calls need its types.
#include <mmsystem.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace comsetup {
namespace {

// The timer is asked to end this much before the deadline; the rest is yielded away.
constexpr std::chrono::nanoseconds kYieldTail = std::chrono::microseconds(300);

LONGLONG CounterFrequency() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return frequency;
}

// One timer per thread, made on first use and kept for the thread's life.
struct ThreadTimer {
    HANDLE handle = nullptr;
    ThreadTimer() {
        handle = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                        TIMER_ALL_ACCESS);
        if (handle == nullptr) {
            // Older systems: a plain timer, with the system tick brought down to 1 ms.
            timeBeginPeriod(1);
            handle = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        }
    }
    ~ThreadTimer() {
        if (handle != nullptr)
            CloseHandle(handle);
    }
};

} // namespace

std::chrono::nanoseconds MonotonicNow() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const LONGLONG f = CounterFrequency();
    const LONGLONG secs = now.QuadPart / f;
    const LONGLONG rest = now.QuadPart % f;
    return std::chrono::seconds(secs) + std::chrono::nanoseconds(rest * 1000000000LL / f);
}

void SleepUntil(std::chrono::nanoseconds deadline) {
    thread_local ThreadTimer timer;
    for (;;) {
        const auto left = deadline - MonotonicNow();
        if (left <= kYieldTail)
            break;
        const auto wait = left - kYieldTail;
        if (timer.handle == nullptr) {
            Sleep(static_cast<DWORD>(
                std::chrono::duration_cast<std::chrono::milliseconds>(wait).count()));
            continue;
        }
        LARGE_INTEGER due{};
        due.QuadPart = -static_cast<LONGLONG>(wait.count() / 100); // relative, 100 ns units
        if (due.QuadPart == 0)
            break;
        if (!SetWaitableTimer(timer.handle, &due, 0, nullptr, nullptr, FALSE))
            break;
        WaitForSingleObject(timer.handle, INFINITE);
    }
    while (MonotonicNow() < deadline)
        SwitchToThread();
}

void RequestPreciseWakeUps() {
    // The timers of SleepUntil are precise already; the pump's own timed waits profit from a
    // 1 ms system tick, asked for once per process.
    static const bool requested = [] { return timeBeginPeriod(1) == TIMERR_NOERROR; }();
    (void)requested;
}

RealTimePriority::RealTimePriority() {
    // Windows lets a process raise its own threads within its priority class: the highest
    // step there, so the end of a pause does not queue behind other programs' work.
    const HANDLE self = GetCurrentThread();
    oldPriority_ = GetThreadPriority(self);
    if (oldPriority_ == THREAD_PRIORITY_ERROR_RETURN || oldPriority_ >= THREAD_PRIORITY_HIGHEST)
        return;
    raised_ = SetThreadPriority(self, THREAD_PRIORITY_HIGHEST) != 0;
}

RealTimePriority::~RealTimePriority() {
    if (raised_)
        SetThreadPriority(GetCurrentThread(), oldPriority_);
}

} // namespace comsetup
