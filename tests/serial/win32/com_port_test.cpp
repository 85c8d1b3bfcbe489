// The Windows device backend on COM ports: opening and its failures, line settings, transfers,
// time-outs, events, a far end that hangs up, and handles given back.
#include "serial/comm.h"
#include "serial/error_causes.h"
#include "tests/serial/raised.h"
#include "tests/serial/win32/com_port_fixture.h"

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

using namespace comsetup;
using namespace std::chrono_literals;
using test::Raised;

// Both ends of the wired pair, opened raw and emptied.
class ComPair : public ::testing::Test {
protected:
    void SetUp() override {
        near_ = test::EnvPort("COMSETUP_TEST_COM_PAIR", 0);
        far_ = test::EnvPort("COMSETUP_TEST_COM_PAIR", 1);
        if (near_.empty() || far_.empty())
            GTEST_SKIP() << "COMSETUP_TEST_COM_PAIR not set: run scripts/test-windows.sh";
        for (TComm* c : {&comm, &peer}) {
            c->SetFlowControl(fcNone);
            c->SetReadTimeout(60000); // a read that waited for data would show as a hang
        }
        comm.SetDeviceName(near_);
        peer.SetDeviceName(far_);
        comm.Open();
        peer.Open();
        comm.PurgeIn(); // a pseudo-terminal keeps unread bytes between opens
        peer.PurgeIn();
    }
    std::string ReadAll(TComm& c, int n) {
        std::string got;
        for (int i = 0; i < 200 && static_cast<int>(got.size()) < n; ++i) {
            c.WaitForInput(10);
            char buf[512];
            const int k = c.Read(buf, sizeof buf);
            if (k > 0)
                got.append(buf, k);
        }
        return got;
    }
    std::string near_, far_;
    TComm comm;
    TComm peer;
};

TEST_F(ComPair, OpenAppliesTheLineSettings) {
    EXPECT_EQ(comm.ControlBlock().Flags, dcbflag::Binary);
    EXPECT_EQ(comm.ControlBlock().BaudRate, 9600u);
    EXPECT_EQ(comm.ControlBlock().ByteSize, 8);
    comm.SetBaudRate(br19200); // applied at once and read back from the device next time
    comm.SetBaudRate(br9600);
    comm.UpdateDataControlBlock();
    EXPECT_EQ(comm.ControlBlock().BaudRate, 9600u);
    EXPECT_EQ(comm.ControlBlock().XonLim, 1024);
}

TEST_F(ComPair, ReadReturnsAtOnceWithWhatHasArrived) {
    char buf[2000];
    EXPECT_EQ(comm.Read(buf, sizeof buf), 0); // nothing yet: 0 at once, not after ReadTimeout
    EXPECT_EQ(comm.InQueCount(), 0);
    ASSERT_EQ(peer.Write("hello", 5), 5);
    ASSERT_TRUE(test::AwaitQueue(comm, 5));
    EXPECT_EQ(comm.InQueCount(), 5);
    EXPECT_EQ(comm.Read(buf, 2), 2); // partial reads leave the rest queued
    EXPECT_EQ(std::string(buf, 2), "he");
    EXPECT_EQ(comm.Read(buf, sizeof buf), 3);
    EXPECT_EQ(std::string(buf, 3), "llo");
    EXPECT_EQ(comm.Read(buf, sizeof buf), 0);
}

TEST_F(ComPair, EveryByteValuePassesBothWays) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    ASSERT_EQ(comm.Write(all.data(), 256), 256);
    EXPECT_EQ(ReadAll(peer, 256), all);
    ASSERT_EQ(peer.Write(all.data(), 256), 256);
    EXPECT_EQ(ReadAll(comm, 256), all);
}

TEST_F(ComPair, PurgeInEmptiesTheReceiveQueue) {
    ASSERT_EQ(peer.Write("abc", 3), 3);
    ASSERT_TRUE(test::AwaitQueue(comm, 3));
    comm.PurgeIn();
    EXPECT_EQ(comm.InQueCount(), 0);
    char buf[8];
    EXPECT_EQ(comm.Read(buf, sizeof buf), 0);
}

TEST_F(ComPair, ReceivedBytesReachTheHandlerOnTheOwnerThread) {
    // Needs modem-line answers from the device (Wine: the test harness's shim).
    QueuedOwnerPump pump;
    TComm watched(&pump);
    comm.Close();
    watched.SetDeviceName(near_);
    watched.SetFlowControl(fcNone);
    std::vector<int> counts;
    const DWORD owner = GetCurrentThreadId();
    DWORD ranOn = 0;
    watched.OnRxChar = [&](TCustomComm*, int n) {
        counts.push_back(n);
        ranOn = GetCurrentThreadId();
    };
    watched.Open();
    watched.PurgeIn();
    ASSERT_EQ(peer.Write("ping", 4), 4);
    for (int i = 0; i < 300 && counts.empty(); ++i)
        pump.WaitAndRunPending(10ms);
    ASSERT_FALSE(counts.empty());
    EXPECT_GE(counts.front(), 1);
    EXPECT_EQ(ranOn, owner);
    watched.Close(); // ends the pending event wait; must not hang
    EXPECT_FALSE(watched.Enabled());
}

TEST_F(ComPair, SecondOpenOfAPortInUseIsRefusedAsInUse) {
    COMSETUP_WINDOWS_ONLY("a second open of a COM port succeeds");
    TComm second;
    second.SetDeviceName(near_);
    ECommError e = Raised([&] { second.Open(); });
    EXPECT_EQ(e.ErrorCode, ERROR_ACCESS_DENIED);
    EXPECT_EQ(comsetup::OpenErrorCause(e.ErrorCode), "in use by another program");
    EXPECT_FALSE(second.Enabled());
}

TEST_F(ComPair, LineSettingsTheDeviceRefusesRaise) {
    COMSETUP_WINDOWS_ONLY("the control block is not checked");
    ECommError e = Raised([&] { comm.SetDatabits(da4); });
    EXPECT_EQ(std::string(e.what()).rfind("Error updating DataControlBlock (Error: ", 0), 0u);
    EXPECT_TRUE(comm.Enabled());
}

TEST_F(ComPair, OpenCloseCyclesGiveEveryHandleBack) {
    QueuedOwnerPump pump;
    comm.Close();
    const unsigned long before = test::ProcessHandleCount();
    for (int i = 0; i < 20; ++i) {
        TComm c(&pump);
        c.SetDeviceName(near_);
        c.SetFlowControl(fcNone);
        c.OnRxChar = [](TCustomComm*, int) {};
        c.Open();
        ASSERT_EQ(c.Write("x", 1), 1);
        char buf[8];
        c.Read(buf, sizeof buf);
        pump.RunPending();
        c.Close();
    }
    pump.RunPending();
    EXPECT_EQ(test::ProcessHandleCount(), before);
}

TEST(ComPort, MissingPortGivesTheSystemCodeAndStaysClosed) {
    TComm comm;
    comm.SetDeviceName("COM42");
    ECommError e = Raised([&] { comm.Open(); });
    EXPECT_STREQ(e.what(), "Error accessing specified device (Error: 2) ");
    EXPECT_EQ(e.ErrorCode, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(comm.Enabled());
}

TEST(ComPort, FileThatIsNoPortIsRefusedWithMinusOne) {
    char dir[MAX_PATH], path[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, dir), 0u);
    ASSERT_NE(GetTempFileNameA(dir, "cst", 0, path), 0u);
    const unsigned long before = test::ProcessHandleCount();
    TComm comm;
    comm.SetDeviceName(path);
    ECommError e = Raised([&] { comm.Open(); });
    EXPECT_STREQ(e.what(), "Invalid device handle, access denied (Error: -1) ");
    EXPECT_FALSE(comm.Enabled());
    EXPECT_EQ(test::ProcessHandleCount(), before); // the file's handle was closed again
    DeleteFileA(path);
}

TEST(ComPort, TransfersOnAClosedPortRaiseWithTheSystemCode) {
    TComm comm;
    char buf[4];
    EXPECT_STREQ(Raised([&] { comm.Read(buf, 4); }).what(), "Read error (Error: 6) ");
    EXPECT_STREQ(Raised([&] { comm.Write("x", 1); }).what(), "Write error (Error: 6) ");
}

TEST(ComPort, WriteHeldBackLongerThanItsLimitIsCancelledAndGivesMinusOne) {
    COMSETUP_NEED_PORT(port, "COMSETUP_TEST_COM_STALL", 0);
    const unsigned long before = test::ProcessHandleCount();
    {
        TComm comm;
        comm.SetDeviceName(port);
        comm.SetFlowControl(fcNone);
        comm.SetWriteTimeout(300);
        comm.Open();
        std::vector<char> block(256 * 1024, 'w');
        int result = 0;
        for (int i = 0; i < 8 && result >= 0; ++i)
            result = comm.Write(block.data(), static_cast<int>(block.size()));
        EXPECT_EQ(result, -1);
        // The cancelled write has let go of the buffer: it can be freed and the port closed.
        block.assign(block.size(), 0);
        comm.Close();
    }
    EXPECT_EQ(test::ProcessHandleCount(), before);
}

TEST(ComPort, FarEndThatHangsUpMakesTransfersFailNotHang) {
    COMSETUP_NEED_PORT(port, "COMSETUP_TEST_COM_HANGUP", 0);
    const unsigned long before = test::ProcessHandleCount();
    {
        QueuedOwnerPump pump;
        TComm comm(&pump);
        comm.SetDeviceName(port);
        comm.SetFlowControl(fcNone);
        comm.SetWriteTimeout(500);
        comm.Open();
        ASSERT_EQ(comm.Write("!", 1), 1); // the far end hangs up on this byte
        bool failed = false;
        std::string message;
        for (int i = 0; i < 200 && !failed; ++i) {
            pump.WaitAndRunPending(10ms);
            try {
                char buf[16];
                comm.Read(buf, sizeof buf);
                if (comm.Write("?", 1) < 0)
                    failed = true, message = "write timed out";
            } catch (const ECommError& e) {
                failed = true;
                message = e.what();
            }
        }
        EXPECT_TRUE(failed);
        std::printf("hang-up seen as: %s\n", message.c_str());
        comm.Close();
    }
    EXPECT_EQ(test::ProcessHandleCount(), before);
}

} // namespace
