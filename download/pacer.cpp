// Real and virtual pacers.
//
// The real pacer never spins on a coarse tick: it sleeps to an absolute deadline on the
// monotonic clock (no drift from early wake-ups, no early end from tick rounding), with the
// thread's timer slack set to 1 ns so the kernel does not defer the wake-up by its default
// 50 us. Until shortly before the deadline it waits on the owner pump instead, so posted
// work (serial event deliveries) runs during every wait.
#include "download/pacer.h"

#include "download/precise_clock.h"
#include "serial/owner_pump.h"

namespace comsetup {

RealPacer::RealPacer(QueuedOwnerPump* pump, RealPacerOptions options)
    : pump_(pump), options_(options) {}

RealPacer::~RealPacer() = default;

bool RealPacer::RealTime() const {
    return priority_ != nullptr && priority_->Raised();
}

std::chrono::nanoseconds RealPacer::Now() {
    return MonotonicNow();
}

void RealPacer::ProcessMessages() {
    if (pump_ != nullptr) {
        pump_->RunPending();
    }
}

void RealPacer::Delay(int ms) {
    if (ms <= 0) {
        return;
    }
    RequestPreciseWakeUps();
    if (options_.realTimePriority && priority_ == nullptr) {
        priority_ = std::make_unique<RealTimePriority>();
    }
    const auto deadline = MonotonicNow() + std::chrono::milliseconds(ms) + options_.guard;
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
