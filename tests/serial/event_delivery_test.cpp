// Event thread and deliveries on the in-memory line: order, error clearing, and the lifetime
// rules (no delivery after Close or destruction, Close from inside a handler); the transfer
// lock. The same on a pseudo-terminal: pty_events_test.cpp.
#include "serial/comm.h"
#include "serial/memory_device.h"
#include "tests/serial/pump_until.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace comsetup;
using namespace std::chrono_literals;

struct Recorder {
    std::vector<std::string> calls;
    void Attach(TCustomComm& comm) {
        comm.OnBreak = [this](TCustomComm*) { calls.push_back("break"); };
        comm.OnCts = [this](TCustomComm*) { calls.push_back("cts"); };
        comm.OnDsr = [this](TCustomComm*) { calls.push_back("dsr"); };
        comm.OnError = [this](TCustomComm*, int e) {
            calls.push_back("error " + std::to_string(e));
        };
        comm.OnRing = [this](TCustomComm*) { calls.push_back("ring"); };
        comm.OnRlsd = [this](TCustomComm*) { calls.push_back("rlsd"); };
        comm.OnRxChar = [this](TCustomComm*, int n) { calls.push_back("rx " + std::to_string(n)); };
        comm.OnRxFlag = [this](TCustomComm*) { calls.push_back("rxflag"); };
        comm.OnTxEmpty = [this](TCustomComm*) { calls.push_back("txempty"); };
    }
};

TEST(EventDispatch, HandlersRunInFixedOrderWithComponentAsSender) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);
    comm.Open();
    Recorder rec;
    rec.Attach(comm);
    TCustomComm* sender = nullptr;
    comm.OnCts = [&](TCustomComm* s) {
        sender = s;
        rec.calls.push_back("cts");
    };
    line->PushReceived("abc");
    line->AddLineErrors(commerror::Frame);
    comm.HandleCommEvent(nullptr, 0x01FF);
    const std::vector<std::string> expected = {"break", "cts",  "dsr",    "error 8", "ring",
                                               "rlsd",  "rx 3", "rxflag", "txempty"};
    EXPECT_EQ(rec.calls, expected);
    EXPECT_EQ(sender, &comm);
    EXPECT_EQ(line->PendingErrors(), 0u);
}

TEST(EventDispatch, RxCharNeedsBytesWaitingAndErrorsClearWithoutHandlers) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);
    comm.Open();
    int rx = 0;
    comm.OnRxChar = [&](TCustomComm*, int) { ++rx; };
    comm.HandleCommEvent(nullptr, commevent::RxChar);
    EXPECT_EQ(rx, 0);

    comm.OnRxChar = nullptr;
    line->AddLineErrors(commerror::Overrun | commerror::RxParity);
    comm.HandleCommEvent(nullptr, commevent::Err);
    EXPECT_EQ(line->PendingErrors(), 0u);

    // A failing status query gives handlers zeros, never stale or undefined values.
    int errors = -1;
    comm.OnError = [&](TCustomComm*, int e) { errors = e; };
    line->AddLineErrors(commerror::Frame);
    line->FailStatus(EIO);
    comm.HandleCommEvent(nullptr, commevent::Err);
    EXPECT_EQ(errors, 0);
}

TEST(EventThread, DeliversThroughThePumpOnTheOwnerThread) {
    QueuedOwnerPump pump;
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line, &pump);
    Recorder rec;
    rec.Attach(comm);
    comm.Open();
    EXPECT_EQ(line->EventMask(), 0x01FFu);

    line->RaiseEvents(commevent::Cts);
    line->PushReceived("xy");
    ASSERT_TRUE(PumpUntil(pump, [&] { return rec.calls.size() >= 2; }));
    EXPECT_EQ(rec.calls.front(), "cts");
    EXPECT_EQ(rec.calls.back(), "rx 2");

    rec.calls.clear();
    line->AddLineErrors(commerror::Break);
    ASSERT_TRUE(PumpUntil(pump, [&] { return !rec.calls.empty(); }));
    EXPECT_EQ(rec.calls.front(), "error 16");
    EXPECT_EQ(line->PendingErrors(), 0u);
}

TEST(EventThread, OnlyMonitoredEventsAreWatched) {
    QueuedOwnerPump pump;
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line, &pump);
    comm.SetMonitorEvents({evRing});
    Recorder rec;
    rec.Attach(comm);
    comm.Open();
    EXPECT_EQ(line->EventMask(), 0x0100u);
    line->RaiseEvents(commevent::Cts);
    line->RaiseEvents(commevent::Ring);
    ASSERT_TRUE(PumpUntil(pump, [&] { return !rec.calls.empty(); }));
    pump.WaitAndRunPending(30ms);
    EXPECT_EQ(rec.calls, std::vector<std::string>{"ring"});
}

// Only monitored events with a handler are watched, and assigning or clearing a handler on an
// open port changes the watch at once.
TEST(EventThread, WatchesOnlyMonitoredEventsThatHaveAHandler) {
    struct Step {
        const char* what;
        std::function<void(TCustomComm&)> change;
        uint32_t watched;
    };
    const std::vector<Step> steps = {
        {"opened without handlers", [](TCustomComm&) {}, 0},
        {"OnRxChar assigned", [](TCustomComm& c) { c.OnRxChar = [](TCustomComm*, int) {}; },
         commevent::RxChar},
        {"OnCts assigned", [](TCustomComm& c) { c.OnCts = [](TCustomComm*) {}; },
         commevent::RxChar | commevent::Cts},
        {"OnRing assigned but not monitored",
         [](TCustomComm& c) { c.OnRing = [](TCustomComm*) {}; },
         commevent::RxChar | commevent::Cts},
        {"OnRxChar replaced", [](TCustomComm& c) { c.OnRxChar = [](TCustomComm*, int) {}; },
         commevent::RxChar | commevent::Cts},
        {"OnRxChar cleared", [](TCustomComm& c) { c.OnRxChar = nullptr; }, commevent::Cts},
        {"OnCts cleared", [](TCustomComm& c) { c.OnCts = nullptr; }, 0},
        {"reopened with OnRing",
         [](TCustomComm& c) {
             c.Close();
             c.SetMonitorEvents(AllCommEvents());
             c.Open();
         },
         commevent::Ring},
    };
    QueuedOwnerPump pump;
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line, &pump);
    comm.SetMonitorEvents({evRxChar, evCts, evTxEmpty});
    comm.Open();
    for (const Step& step : steps) {
        step.change(comm);
        EXPECT_EQ(line->EventMask(), step.watched) << step.what;
    }
}

TEST(EventThread, HandlerAssignedWhileOpenGetsItsEvents) {
    QueuedOwnerPump pump;
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line, &pump);
    comm.Open();
    line->RaiseEvents(commevent::Cts); // nobody listens: not reported, not kept for later
    std::vector<std::string> calls;
    comm.OnCts = [&](TCustomComm*) { calls.push_back("cts"); };
    comm.OnDsr = [&](TCustomComm*) { calls.push_back("dsr"); };
    line->RaiseEvents(commevent::Dsr);
    ASSERT_TRUE(PumpUntil(pump, [&] { return !calls.empty(); }));
    EXPECT_EQ(calls, std::vector<std::string>{"dsr"});
}

TEST(EventThread, NoDeliveryReachesAClosedOrDestroyedComponent) {
    QueuedOwnerPump pump;
    auto line = std::make_shared<MemoryLine>();
    int calls = 0;
    {
        MemoryComm comm(line, &pump);
        comm.OnCts = [&](TCustomComm*) { ++calls; };
        comm.Open();
        line->RaiseEvents(commevent::Cts);
        // Let the delivery be queued, but do not run it.
        for (int i = 0; i < 200 && pump.PendingCount() == 0; ++i)
            std::this_thread::sleep_for(5ms);
        ASSERT_EQ(pump.PendingCount(), 1u);
        comm.Close(); // must not wait for the queued delivery
        pump.RunPending();
        EXPECT_EQ(calls, 0);

        // Reopened: a delivery queued in the old open period still does not arrive.
        comm.Open();
        line->RaiseEvents(commevent::Cts);
        for (int i = 0; i < 200 && pump.PendingCount() == 0; ++i)
            std::this_thread::sleep_for(5ms);
        ASSERT_EQ(pump.PendingCount(), 1u);
    } // destroyed with the delivery pending
    pump.RunPending();
    EXPECT_EQ(calls, 0);
}

TEST(EventThread, HandlerMayCloseOrDestroyTheComponent) {
    QueuedOwnerPump pump;
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line, &pump);
    std::vector<std::string> calls;
    comm.OnCts = [&](TCustomComm* c) {
        calls.push_back("cts");
        c->Close();
    };
    comm.OnRxChar = [&](TCustomComm*, int) { calls.push_back("rx"); };
    line->PushReceived("a"); // waiting before Open: reported only with the batch below
    comm.Open();
    line->RaiseEvents(commevent::Cts | commevent::RxChar);
    ASSERT_TRUE(PumpUntil(pump, [&] { return !comm.Enabled(); }));
    EXPECT_EQ(calls, std::vector<std::string>{"cts"}); // nothing after the Close
    EXPECT_FALSE(line->IsOpen());

    auto owned = std::make_unique<MemoryComm>(line, &pump);
    int after = 0;
    owned->OnBreak = [&](TCustomComm*) { owned.reset(); };
    owned->OnCts = [&](TCustomComm*) { ++after; };
    owned->Open();
    line->RaiseEvents(commevent::Break | commevent::Cts);
    ASSERT_TRUE(PumpUntil(pump, [&] { return owned == nullptr; }));
    EXPECT_EQ(after, 0);
    EXPECT_FALSE(line->IsOpen());
}

TEST(EventThread, HandlerExceptionEndsEventsUntilReopened) {
    QueuedOwnerPump pump;
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line, &pump);
    int calls = 0;
    comm.OnRing = [&](TCustomComm*) {
        ++calls;
        throw std::runtime_error("handler failed");
    };
    comm.Open();
    line->RaiseEvents(commevent::Ring);
    ASSERT_TRUE(PumpUntil(pump, [&] { return calls == 1; }));
    line->RaiseEvents(commevent::Ring);
    pump.WaitAndRunPending(50ms);
    pump.WaitAndRunPending(50ms);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(comm.Enabled());
    comm.Close();
    comm.Open();
    line->RaiseEvents(commevent::Ring);
    EXPECT_TRUE(PumpUntil(pump, [&] { return calls == 2; }));
}

TEST(EventThread, StoppedThreadPurgesOnlyTheReceiveSide) {
    QueuedOwnerPump pump;
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line, &pump);
    comm.Open();
    comm.Close();
    EXPECT_EQ(line->LastPurge(), purge::RxAbort | purge::RxClear);
}

// A descendant that takes the transfer lock may read and write inside it.
class LockingComm : public MemoryComm {
public:
    using MemoryComm::MemoryComm;
    std::string ReadAllLocked() {
        Lock();
        char buf[16];
        const int n = Read(buf, sizeof buf);
        Write("!", 1);
        Unlock();
        return std::string(buf, n > 0 ? n : 0);
    }
};

TEST(CommLock, IsReentrantForTheThreadThatHoldsIt) {
    LockingComm comm;
    comm.Open();
    comm.Line().PushReceived("abc");
    EXPECT_EQ(comm.ReadAllLocked(), "abc");
    EXPECT_EQ(comm.Line().Written(), "!");
}

} // namespace
