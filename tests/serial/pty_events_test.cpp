// Events on a real pseudo-terminal: edge-triggered receive, the emptied transmit queue, a
// hang-up, and the event that a terminal cannot report.
#include "serial/comm.h"
#include "tests/serial/pty_pair.h"
#include "tests/serial/pump_until.h"
#include "tests/serial/raised.h"

#include <chrono>
#include <gtest/gtest.h>
#include <vector>

namespace {

using namespace comsetup;
using namespace std::chrono_literals;

class PtyEvents : public ::testing::Test {
protected:
    void SetUp() override {
        comm.SetDeviceName(pty.SlavePath());
        comm.SetFlowControl(fcNone);
    }
    test::PtyPair pty;
    QueuedOwnerPump pump;
    TComm comm{&pump};
};

TEST_F(PtyEvents, ArrivingBytesAreReportedOnceNotWhileUnread) {
    std::vector<int> counts;
    comm.OnRxChar = [&](TCustomComm*, int n) { counts.push_back(n); };
    comm.Open();
    pty.Send("hello");
    ASSERT_TRUE(PumpUntil(pump, [&] { return !counts.empty(); }));
    EXPECT_GE(counts.front(), 1);
    // The bytes stay unread: no further reports while nothing new arrives.
    const std::size_t seen = counts.size();
    for (int i = 0; i < 10; ++i)
        pump.WaitAndRunPending(10ms);
    EXPECT_LE(counts.size(), seen + 1); // at most a trailing edge of the same burst
    const std::size_t settled = counts.size();
    for (int i = 0; i < 10; ++i)
        pump.WaitAndRunPending(10ms);
    EXPECT_EQ(counts.size(), settled);
    // New bytes make a new report.
    pty.Send("!");
    EXPECT_TRUE(PumpUntil(pump, [&] { return counts.size() > settled; }));
    EXPECT_EQ(comm.InQueCount(), 6);
}

TEST_F(PtyEvents, ReceiveHandlerAssignedAfterOpenIsCalled) {
    comm.Open();
    std::vector<int> counts;
    comm.OnRxChar = [&](TCustomComm*, int n) { counts.push_back(n); };
    pty.Send("ab");
    ASSERT_TRUE(PumpUntil(pump, [&] { return !counts.empty(); }));
    EXPECT_GE(counts.front(), 1);
}

TEST_F(PtyEvents, TransmitQueueEmptiedIsReported) {
    int empties = 0;
    comm.OnTxEmpty = [&](TCustomComm*) { ++empties; };
    comm.Open();
    ASSERT_EQ(comm.Write("abc", 3), 3);
    EXPECT_TRUE(PumpUntil(pump, [&] { return empties > 0; }));
}

TEST_F(PtyEvents, HangUpIsReportedAsAnErrorOnce) {
    std::vector<int> errors;
    comm.OnError = [&](TCustomComm*, int e) { errors.push_back(e); };
    comm.Open();
    pty.CloseMaster();
    ASSERT_TRUE(PumpUntil(pump, [&] { return !errors.empty(); }));
    EXPECT_EQ(errors.front(), static_cast<int>(commerror::IoError));
    for (int i = 0; i < 10; ++i)
        pump.WaitAndRunPending(10ms);
    EXPECT_EQ(errors.size(), 1u);
    comm.Close();
}

TEST_F(PtyEvents, EventCharacterIsRefusedWhereAHandlerWaitsForIt) {
    // A terminal cannot report the event character: a handler for it is refused, not left
    // waiting in vain; unwatched or without a handler it does no harm.
    comm.OnRxFlag = [](TCustomComm*) {};
    ECommError e = test::Raised([&] { comm.Open(); });
    EXPECT_STREQ(e.what(), "Error updating CommMask (Error: 22) ");
    comm.Close();
    comm.SetMonitorEvents(TCommEventTypes::FromBits(0x01FF & ~(1u << evRxFlag)));
    EXPECT_NO_THROW(comm.Open());
    comm.Close();
    comm.SetMonitorEvents(AllCommEvents());
    comm.OnRxFlag = nullptr;
    EXPECT_NO_THROW(comm.Open());
}

} // namespace
