// Many Open/Close cycles with the event thread running and bytes flowing both ways.
#include "serial/comm.h"
#include "serial/memory_device.h"
#include "tests/serial/pty_pair.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace comsetup;
using namespace std::chrono_literals;

TEST(Stress, FiveHundredOpenCloseCyclesOnAPtyWithTraffic) {
    test::PtyPair pty;
    QueuedOwnerPump pump;
    TComm comm(&pump);
    comm.SetDeviceName(pty.SlavePath());
    comm.SetFlowControl(fcNone);
    comm.SetWriteTimeout(200);
    long delivered = 0;
    comm.OnRxChar = [&](TCustomComm*, int n) { delivered += n; };

    std::atomic<bool> stop{false};
    std::thread farEnd([&] {
        while (!stop) {
            try {
                pty.Send("0123456789");
            } catch (const std::exception&) {
                // the slave is closed between cycles: the pty refuses for a moment
            }
            pty.ReceiveAvailable();
            std::this_thread::sleep_for(200us);
        }
    });

    char buf[256];
    for (int cycle = 0; cycle < 500; ++cycle) {
        comm.Open();
        ASSERT_TRUE(comm.Enabled());
        comm.Write("ping", 4);
        for (int i = 0; i < 3; ++i) {
            pump.RunPending();
            if (comm.InQueCount() > 0)
                comm.Read(buf, sizeof buf);
        }
        if (cycle % 3 == 0)
            pump.RunPending(); // sometimes a delivery is still queued at Close
        comm.Close();
        ASSERT_FALSE(comm.Enabled());
    }
    pump.RunPending();
    stop = true;
    farEnd.join();
    EXPECT_GT(delivered, 0);
}

TEST(Stress, ManyComponentsOpenedAndDestroyedWithEventsInFlight) {
    QueuedOwnerPump pump;
    auto line = std::make_shared<MemoryLine>();
    std::atomic<bool> stop{false};
    std::thread farEnd([&] {
        while (!stop) {
            line->PushReceived("z");
            line->RaiseEvents(commevent::Cts | commevent::Ring);
            std::this_thread::sleep_for(50us);
        }
    });
    int handled = 0;
    for (int i = 0; i < 500; ++i) {
        auto comm = std::make_unique<TMemoryComm>(line, &pump);
        comm->OnCts = [&](TCustomComm*) { ++handled; };
        comm->Open();
        pump.WaitAndRunPending(std::chrono::milliseconds(i % 5 == 0 ? 2 : 0));
        if (i % 2 == 0)
            comm->Close();
        comm.reset(); // deliveries may still be queued
        pump.RunPending();
    }
    stop = true;
    farEnd.join();
    EXPECT_GT(handled, 0);
}

} // namespace
