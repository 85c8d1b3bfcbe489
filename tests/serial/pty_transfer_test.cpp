// Reads, writes, the receive queue and purging on a real pseudo-terminal.
#include "serial/comm.h"
#include "tests/serial/pty_pair.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using comsetup::test::PtyPair;

class PtyTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        comm.SetDeviceName(pty.SlavePath());
        comm.SetFlowControl(fcNone);
        comm.Open();
    }
    // Waits (without spinning forever) until the component sees n bytes.
    void AwaitQueue(int n) {
        for (int i = 0; i < 200 && comm.InQueCount() < n; ++i)
            comm.WaitForInput(10);
        ASSERT_EQ(comm.InQueCount(), n);
    }
    PtyPair pty;
    TComm comm;
};

TEST_F(PtyTransfer, ReadReturnsAtOnceWithWhatHasArrived) {
    // A read that waited for data would hang here: the time limit is far beyond the test's.
    comm.SetReadTimeout(600000);
    char buf[2000];
    EXPECT_EQ(comm.InQueCount(), 0);
    EXPECT_EQ(comm.Read(buf, sizeof buf), 0);

    const std::string twenty = "0123456789abcdefghij";
    pty.Send(twenty);
    AwaitQueue(20);
    EXPECT_EQ(comm.Read(buf, 2000), 20);
    EXPECT_EQ(std::string(buf, 20), twenty);
    EXPECT_EQ(comm.InQueCount(), 0);
}

TEST_F(PtyTransfer, WaitForInputTellsWhetherBytesWait) {
    EXPECT_FALSE(comm.WaitForInput(0));
    pty.Send("a");
    EXPECT_TRUE(comm.WaitForInput(5000));
    EXPECT_TRUE(comm.WaitForInput(0)); // waiting is not reading
    char c;
    EXPECT_EQ(comm.Read(&c, 1), 1);
    EXPECT_FALSE(comm.WaitForInput(0));
    comm.Close();
    EXPECT_FALSE(comm.WaitForInput(0));
}

TEST_F(PtyTransfer, BinaryBytesPassUnchanged) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    pty.Send(all);
    AwaitQueue(256);
    std::vector<char> buf(256);
    ASSERT_EQ(comm.Read(buf.data(), 256), 256);
    EXPECT_EQ(std::string(buf.begin(), buf.end()), all);

    ASSERT_EQ(comm.Write(all.data(), 256), 256);
    EXPECT_EQ(pty.Receive(256), all);
}

TEST_F(PtyTransfer, PartialReadsLeaveTheRestQueued) {
    pty.Send("abcdef");
    AwaitQueue(6);
    char buf[4];
    EXPECT_EQ(comm.Read(buf, 4), 4);
    EXPECT_EQ(comm.InQueCount(), 2);
    EXPECT_EQ(comm.Read(buf, 4), 2);
    EXPECT_EQ(std::string(buf, 2), "ef");
}

TEST_F(PtyTransfer, PurgeInEmptiesTheReceiveQueue) {
    pty.Send("stale bytes");
    AwaitQueue(11);
    comm.PurgeIn();
    EXPECT_EQ(comm.InQueCount(), 0);
    pty.Send("new");
    AwaitQueue(3);
}

TEST_F(PtyTransfer, WriteOfOneByteReachesTheFarEnd) {
    EXPECT_EQ(comm.Write("x", 1), 1);
    EXPECT_EQ(pty.Receive(1), "x");
}

TEST_F(PtyTransfer, HeldBackWriteReturnsMinusOneAfterItsTimeLimit) {
    // The far end reads nothing, so the terminal's buffers fill up and hold the line.
    comm.SetWriteTimeout(50);
    std::string block(4096, 'z');
    int result = 0;
    int written = 0;
    for (int i = 0; i < 1000 && result != -1; ++i) {
        result = comm.Write(block.data(), static_cast<int>(block.size()));
        if (result > 0)
            written += result;
    }
    EXPECT_EQ(result, -1);
    // Once the far end drains, writing works again.
    EXPECT_GE(pty.Receive(static_cast<std::size_t>(written), 5000).size(),
              static_cast<std::size_t>(written));
    comm.SetWriteTimeout(5000);
    EXPECT_EQ(comm.Write("ok", 2), 2);
}

TEST_F(PtyTransfer, HungUpFarEndMakesReadsFailNotHang) {
    pty.CloseMaster();
    char buf[8];
    EXPECT_THROW(comm.Read(buf, 8), ECommError);
    // Nothing arrived, and a query the hung-up line refuses reads as an empty queue: never -1
    // (a closed port) nor an error number while open.
    EXPECT_EQ(comm.InQueCount(), 0);
    comm.Close();
}

} // namespace
