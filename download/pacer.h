// Pacing of the download: Delay waits a number of milliseconds while the owner thread's
// pending work keeps running, ProcessMessages runs that work once, Now reads a monotonic
// clock. RealPacer sleeps to absolute deadlines on the monotonic clock; VirtualPacer moves
// its clock only in Delay, so a whole download runs in no time in tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace comsetup {

class QueuedOwnerPump;
class RealTimePriority;

class Pacer {
public:
    virtual ~Pacer() = default;
    // Waits at least ms milliseconds (and at most a little more), running pending owner-thread
    // work meanwhile. ms <= 0 returns at once and runs nothing.
    virtual void Delay(int ms) = 0;
    // Runs the owner-thread work pending now.
    virtual void ProcessMessages() = 0;
    // Monotonic time from an arbitrary origin.
    virtual std::chrono::nanoseconds Now() = 0;
};

// Added to every pause by the real pacers: the path to the far end (kernel, driver, line)
// hands bytes on with a jitter of some microseconds (up to about 30 us measured through a
// pseudo-terminal), which would otherwise make a pause that ended on time look a little
// short there. 20 us covers it and keeps the median excess well under 0.1 ms.
inline constexpr std::chrono::nanoseconds kPauseGuard = std::chrono::microseconds(20);

struct RealPacerOptions {
    // Pending work is waited for and run until this close to a deadline; the rest is one
    // sleep to the deadline itself.
    std::chrono::nanoseconds pumpWindow = std::chrono::milliseconds(2);
    // Wake this much before the deadline and spin the remainder (0: no spin).
    std::chrono::nanoseconds spinMargin = std::chrono::nanoseconds(0);
    // Added to every pause; see kPauseGuard.
    std::chrono::nanoseconds guard = kPauseGuard;
    // Run the waiting thread at real-time priority while the pacer lives, where allowed.
    bool realTimePriority = true;
};

// Monotonic clock, sleeps to absolute deadlines with the thread's timer slack lowered to the
// minimum (Linux), and runs the pump's pending calls while waiting (when given a pump).
//
// With realTimePriority, the first Delay raises the calling thread to real-time priority where
// the system allows it (see RealTimePriority) and the pacer's destruction, on that thread,
// lowers it again: on a busy machine the pauses then end on time instead of waiting for a
// core.
class RealPacer final : public Pacer {
public:
    explicit RealPacer(QueuedOwnerPump* pump = nullptr, RealPacerOptions options = {});
    ~RealPacer() override;
    void Delay(int ms) override;
    void ProcessMessages() override;
    std::chrono::nanoseconds Now() override;
    // Whether the waits run at real-time priority (known after the first Delay).
    bool RealTime() const;

private:
    QueuedOwnerPump* pump_;
    RealPacerOptions options_;
    std::unique_ptr<RealTimePriority> priority_;
};

// Virtual time for tests. Delay(ms) adds ms to the clock and records it; after every Delay and
// every ProcessMessages the listener (the test's "owner-thread work") runs with the new time.
class VirtualPacer final : public Pacer {
public:
    using Listener = std::function<void(std::chrono::nanoseconds now)>;

    void Delay(int ms) override;
    void ProcessMessages() override;
    std::chrono::nanoseconds Now() override { return now_; }

    void SetListener(Listener listener) { listener_ = std::move(listener); }
    // Moves the clock without a Delay (e.g. time a write takes).
    void Advance(std::chrono::nanoseconds d) { now_ += d; }
    const std::vector<int>& Delays() const { return delays_; }
    int ProcessCount() const { return processCount_; }
    std::int64_t NowMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now_).count();
    }

private:
    std::chrono::nanoseconds now_{0};
    std::vector<int> delays_;
    int processCount_ = 0;
    Listener listener_;
};

} // namespace comsetup
