// The owner-thread pump: how a background thread hands a call to the thread that owns a
// component. Post may be called from any thread and never runs the call inline; the owner
// thread runs the pending calls whenever it pumps (the GUI through its event loop, the CLI and
// tests through QueuedOwnerPump::RunPending).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace comsetup {

class OwnerThreadPump {
public:
    virtual ~OwnerThreadPump() = default;
    // Any thread: queue a call for the owner thread.
    virtual void Post(std::function<void()> call) = 0;
};

// A mutex/condition-variable queue. Calls run in the order they were posted. Calls still
// pending when the pump is destroyed are dropped without running.
class QueuedOwnerPump final : public OwnerThreadPump {
public:
    void Post(std::function<void()> call) override;

    // Owner thread: runs the calls pending now (not those they post); returns how many ran.
    int RunPending();
    // Owner thread: waits up to timeout for a call to be pending, then runs the pending calls.
    int WaitAndRunPending(std::chrono::milliseconds timeout);
    std::size_t PendingCount() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> calls_;
};

} // namespace comsetup
