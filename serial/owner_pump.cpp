// Queue-based owner-thread pump for the command line and for tests.
#include "serial/owner_pump.h"

#include <iterator>
#include <utility>

namespace comsetup {

void QueuedOwnerPump::Post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    posted_.notify_all();
}

int QueuedOwnerPump::RunPending() {
    std::unique_lock lock(mutex_);
    if (calls_.empty())
        return 0; // the common case in every wait: no deque (which allocates) is built
    std::deque<std::function<void()>> batch;
    batch.swap(calls_);
    lock.unlock();
    int ran = 0;
    while (!batch.empty()) {
        auto call = std::move(batch.front());
        batch.pop_front();
        ++ran;
        try {
            call();
        } catch (...) {
            // Keep the calls not yet run for the next pump, then let the caller see the error.
            std::lock_guard lock(mutex_);
            calls_.insert(calls_.begin(), std::make_move_iterator(batch.begin()),
                          std::make_move_iterator(batch.end()));
            throw;
        }
    }
    return ran;
}

int QueuedOwnerPump::WaitAndRunPending(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(mutex_);
        posted_.wait_for(lock, timeout, [this] { return !calls_.empty(); });
    }
    return RunPending();
}

std::size_t QueuedOwnerPump::PendingCount() const {
    std::lock_guard lock(mutex_);
    return calls_.size();
}

} // namespace comsetup
