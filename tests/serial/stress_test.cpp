// Many Open/Close cycles with the event thread running and bytes flowing both ways.
#include "serial/comm.h"
#include "serial/memory_device.h"
#include "tests/serial/pty_pair.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace comsetup;
using namespace std::chrono_literals;

std::size_t OpenDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

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
    int cyclesWithBytes = 0;
    const std::size_t descriptorsBefore = OpenDescriptors();
    for (int cycle = 0; cycle < 500; ++cycle) {
        comm.Open();
        ASSERT_TRUE(comm.Enabled());
        comm.Write("ping", 4);
        if (cycle % 2 == 0)
            pump.WaitAndRunPending(20ms); // a delivery while the bytes still wait
        if (comm.WaitForInput(50) && comm.Read(buf, sizeof buf) > 0)
            ++cyclesWithBytes;
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
    EXPECT_GT(cyclesWithBytes, 250);
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore); // every open period gave back its files
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
        auto comm = std::make_unique<MemoryComm>(line, &pump);
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
