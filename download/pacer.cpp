// Real and virtual pacers.
//
// The real pacer never spins on a coarse tick: it sleeps to an absolute deadline on the
// monotonic clock (no drift from early wake-ups, no early end from tick rounding), with the
// thread's timer slack set to 1 ns so the kernel does not defer the wake-up by its default
// 50 us. Until shortly before the deadline it waits on the owner pump instead, so posted
// work (serial event deliveries) runs during every wait.
#include "download/pacer.h"

#include "serial/owner_pump.h"

#include <cerrno>
#include <ctime>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace comsetup {

namespace {

void LowerTimerSlackOnce() {
#if defined(__linux__)
    thread_local bool lowered = false;
    if (!lowered) {
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        lowered = true;
    }
#endif
}

std::chrono::nanoseconds MonotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

} // namespace

RealPacer::RealPacer(QueuedOwnerPump* pump, RealPacerOptions options)
    : pump_(pump), options_(options) {}

std::chrono::nanoseconds RealPacer::Now() {
    return MonotonicNow();
}

void RealPacer::ProcessMessages() {
    if (pump_ != nullptr) {
        pump_->RunPending();
    }
}

void RealPacer::SleepUntil(std::chrono::nanoseconds deadline) {
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(deadline);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(secs.count());
    ts.tv_nsec = static_cast<long>((deadline - secs).count());
    // clock_nanosleep returns the error number itself; EINTR: sleep again to the same deadline.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

void RealPacer::Delay(int ms) {
    if (ms <= 0) {
        return;
    }
    LowerTimerSlackOnce();
    const auto deadline = MonotonicNow() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto now = MonotonicNow();
        if (now >= deadline) {
            return;
        }
        const auto remaining = deadline - now;
        if (pump_ != nullptr && remaining > options_.pumpWindow) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                remaining - options_.pumpWindow);
            if (wait.count() > 0) {
                pump_->WaitAndRunPending(wait);
                continue;
            }
        }
        if (pump_ != nullptr) {
            pump_->RunPending();
        }
        const auto wake = deadline - options_.spinMargin;
        if (MonotonicNow() < wake) {
            SleepUntil(wake);
        }
        while (MonotonicNow() < deadline) {
            // the last few microseconds, only when a spin margin is configured
        }
        return;
    }
}

void VirtualPacer::Delay(int ms) {
    if (ms <= 0) {
        return;
    }
    delays_.push_back(ms);
    now_ += std::chrono::milliseconds(ms);
    if (listener_) {
        listener_(now_);
    }
}

void VirtualPacer::ProcessMessages() {
    ++processCount_;
    if (listener_) {
        listener_(now_);
    }
}

} // namespace comsetup
