// The event thread of an open port. It sets the device's watch mask, waits for line events and
// hands each batch to the owner thread through the pump, waiting until the delivery has run
// there (events that occur meanwhile are reported by the next wait).
//
// Stopping: Stop wakes the thread from its device wait and from a delivery wait alike, so Join
// never waits for the owner thread; a delivery already queued then runs later on the owner
// thread and must check for itself whether its target still exists (the component does this
// with its delivery gate). The thread touches the device only until Join returns, so the owner
// closes the device after Join.
#pragma once

#include "serial/comm_device.h"
#include "serial/comm_event_types.h"
#include "serial/owner_pump.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TCommEventThread {
public:
    // Runs on the owner thread for each batch of events. Must not capture the thread object.
    using EventHandler = std::function<void(uint32_t events)>;

    TCommEventThread(comsetup::CommDevice& device, TCommEventTypes events,
                     comsetup::OwnerThreadPump& pump, EventHandler onSignal);
    ~TCommEventThread(); // Stop and Join
    TCommEventThread(const TCommEventThread&) = delete;
    TCommEventThread& operator=(const TCommEventThread&) = delete;

    // Any thread: wake the thread and ask it to end; does not wait.
    void Stop();
    // Owner thread: wait until the thread has ended. Never waits for the owner thread itself.
    void Join();

private:
    struct Sync {
        std::mutex mutex;
        std::condition_variable cv;
        bool stop = false;
        uint64_t delivered = 0; // sequence number of the last delivery that has run
        bool handlerFailed = false;
    };

    void Execute();
    bool Deliver(uint32_t events, uint64_t seq); // false when the thread must end at once

    comsetup::CommDevice& device_;
    comsetup::OwnerThreadPump& pump_;
    EventHandler onSignal_;
    std::shared_ptr<Sync> sync_;
    std::thread thread_;
};
