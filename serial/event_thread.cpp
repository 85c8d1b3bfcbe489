// Event thread loop: wait on the device, deliver on the owner thread, repeat until stopped.
#include "serial/event_thread.h"

#include "serial/platform.h"

#include <chrono>
#include <utility>

namespace {
// A wait that fails at once (a device gone bad) is retried after this pause, not in a spin.
constexpr auto kFailedWaitPause = std::chrono::milliseconds(20);
} // namespace

TCommEventThread::TCommEventThread(comsetup::CommDevice& device, TCommEventTypes events,
                                   comsetup::OwnerThreadPump& pump, EventHandler onSignal)
    : device_(device), pump_(pump), onSignal_(std::move(onSignal)),
      sync_(std::make_shared<Sync>()) {
    device_.SetEventMask(comsetup::EventMaskOf(events));
    thread_ = std::thread([this] { Execute(); });
}

TCommEventThread::~TCommEventThread() {
    Stop();
    Join();
}

void TCommEventThread::Stop() {
    {
        std::lock_guard lock(sync_->mutex);
        sync_->stop = true;
    }
    sync_->cv.notify_all();
    device_.Wake();
}

void TCommEventThread::Join() {
    if (thread_.joinable())
        thread_.join();
}

void TCommEventThread::Execute() {
    comsetup::RaiseEventThreadPriority();
    uint64_t seq = 0;
    for (;;) {
        {
            std::lock_guard lock(sync_->mutex);
            if (sync_->stop)
                break;
        }
        uint32_t events = 0;
        if (device_.WaitEvent(events) != 0) {
            std::unique_lock lock(sync_->mutex);
            sync_->cv.wait_for(lock, kFailedWaitPause, [this] { return sync_->stop; });
            continue;
        }
        if (events == 0)
            continue; // a wake-up
        if (!Deliver(events, ++seq))
            return; // a handler failed: end at once, without the final purge
    }
    // Only the receive side: output still queued for the line is the caller's data and goes
    // out before the device closes.
    device_.Purge(comsetup::purge::RxAbort | comsetup::purge::RxClear);
}

bool TCommEventThread::Deliver(uint32_t events, uint64_t seq) {
    // The queued call owns what it needs (sync and signal), never this object: it may run
    // after the thread has been joined and destroyed.
    pump_.Post([sync = sync_, signal = onSignal_, events, seq] {
        bool failed = false;
        {
            std::lock_guard lock(sync->mutex);
            if (sync->stop)
                return; // stopped meanwhile: the component dropped this delivery
        }
        try {
            signal(events);
        } catch (...) {
            failed = true; // the thread ends; the exception goes no further
        }
        {
            std::lock_guard lock(sync->mutex);
            sync->delivered = seq;
            sync->handlerFailed = sync->handlerFailed || failed;
        }
        sync->cv.notify_all();
    });
    std::unique_lock lock(sync_->mutex);
    sync_->cv.wait(lock, [&] { return sync_->stop || sync_->delivered >= seq; });
    return !sync_->handlerFailed;
}
