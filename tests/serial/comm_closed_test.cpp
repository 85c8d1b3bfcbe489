// A component before Open and after Close; refusals while open; the error message format.
#include "serial/comm.h"
#include "serial/memory_device.h"
#include "serial/platform.h"
#include "tests/serial/raised.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>

namespace {

using comsetup::MemoryComm;
using comsetup::MemoryLine;

using comsetup::test::Raised;

TEST(CommClosed, NewComponentIsClosedAndHarmless) {
    TComm comm;
    EXPECT_FALSE(comm.Enabled());
    EXPECT_EQ(comm.InQueCount(), -1);
    comm.PurgeIn();
    comm.Close();
    comm.Close();
    comm.SetBaudRate(br115200); // closed: stored only, no device touched
    EXPECT_EQ(comm.BaudRate(), br115200);
    EXPECT_FALSE(comm.Enabled());
    EXPECT_EQ(comm.EventChars().XonChar(), 17);
    EXPECT_EQ(comm.EventChars().XoffChar(), 19);
    EXPECT_EQ(comm.EventChars().ErrorChar(), 0);
    EXPECT_EQ(comm.EventChars().EofChar(), 0);
    EXPECT_EQ(comm.EventChars().EvtChar(), 0);
    EXPECT_EQ(comm.DeviceName(), "Com2");
    EXPECT_EQ(comm.MonitorEvents().ToBits(), 0x01FF);
    EXPECT_EQ(comm.FlowControl(), fcDefault);
}

TEST(CommClosed, TransfersOnClosedPortRaiseWithOsCode) {
    TComm comm;
    char buf[4];
    const int bad = comsetup::OsErrorBadHandle(); // EBADF (9), ERROR_INVALID_HANDLE (6)
    ECommError r = Raised([&] { comm.Read(buf, 4); });
    EXPECT_EQ(r.what(), "Read error (Error: " + std::to_string(bad) + ") ");
    EXPECT_EQ(r.ErrorCode, bad);
    ECommError w = Raised([&] { comm.Write("x", 1); });
    EXPECT_EQ(w.what(), "Write error (Error: " + std::to_string(bad) + ") ");
}

TEST(CommClosed, OpenWhileOpenIsRefusedAndChangesNothing) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);
    comm.Open();
    ECommError e = Raised([&] { comm.Open(); });
    EXPECT_STREQ(e.what(), "Port already assigned (open) (Error: -1) ");
    EXPECT_EQ(e.ErrorCode, -1);
    EXPECT_TRUE(comm.Enabled());
    EXPECT_EQ(line->OpenCount(), 1);
}

TEST(CommClosed, SettingsThatCannotChangeWhileOpen) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);
    comm.SetDeviceName("COM3");
    comm.Open();
    comm.SetDeviceName("COM3");                                 // unchanged: accepted silently
    ECommError e = Raised([&] { comm.SetDeviceName("com3"); }); // case matters
    EXPECT_STREQ(e.what(), "Port already assigned (open) (Error: -1) ");
    EXPECT_EQ(comm.DeviceName(), "COM3");
    EXPECT_THROW(comm.SetReadBufSize(100), ECommError);
    EXPECT_THROW(comm.SetWriteBufSize(100), ECommError);
    EXPECT_THROW(comm.SetMonitorEvents({evRxChar}), ECommError);
    EXPECT_EQ(comm.ReadBufSize(), 4096);
    EXPECT_EQ(comm.WriteBufSize(), 2048);
    EXPECT_EQ(comm.MonitorEvents().ToBits(), 0x01FF);
    comm.SetReadBufSize(4096); // same value: no refusal
    comm.Close();
    comm.Close();
    comm.SetReadBufSize(100);
    EXPECT_EQ(comm.ReadBufSize(), 100);
}

TEST(CommClosed, EachOpenStepReportsItsFailure) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);

    line->FailOpen(EACCES);
    ECommError open = Raised([&] { comm.Open(); });
    EXPECT_STREQ(open.what(), "Error accessing specified device (Error: 13) ");
    EXPECT_FALSE(comm.Enabled());
    line->FailOpen(0);

    // Failures after the device opened leave the port open until Close.
    line->FailTimeouts(EIO);
    EXPECT_STREQ(Raised([&] { comm.Open(); }).what(), "Error updating CommTimeouts (Error: 5) ");
    EXPECT_TRUE(comm.Enabled());
    comm.Close();
    line->FailTimeouts(0);

    line->FailSetState(EINVAL);
    EXPECT_STREQ(Raised([&] { comm.Open(); }).what(),
                 "Error updating DataControlBlock (Error: 22) ");
    EXPECT_TRUE(comm.Enabled());
    comm.Close();
    line->FailSetState(0);

    line->FailSetupQueues(ENOMEM);
    EXPECT_STREQ(Raised([&] { comm.Open(); }).what(),
                 "Error initializing Read/Write Buffers (Error: 12) ");
    EXPECT_TRUE(comm.Enabled());
    comm.Close();
    EXPECT_FALSE(line->IsOpen());
}

TEST(CommClosed, RefusedLineSettingKeepsTheNewValue) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);
    comm.Open();
    line->FailSetState(EINVAL);
    EXPECT_THROW(comm.SetParity(paEven), ECommError);
    EXPECT_EQ(comm.Parity(), paEven);
    // Setting the same value again does not re-apply, so it does not raise again.
    comm.SetParity(paEven);
}

TEST(CommClosed, TransferFailuresAndStatusFailure) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);
    comm.Open();
    line->PushReceived("abc");
    line->FailStatus(EIO);
    EXPECT_EQ(comm.InQueCount(), 0); // callers treat it as a count: 0, never garbage
    line->FailStatus(0);
    EXPECT_EQ(comm.InQueCount(), 3);

    char buf[8];
    line->FailRead(EIO);
    EXPECT_STREQ(Raised([&] { comm.Read(buf, 8); }).what(), "Read error (Error: 5) ");
    line->FailWrite(EPIPE);
    EXPECT_STREQ(Raised([&] { comm.Write("x", 1); }).what(), "Write error (Error: 32) ");
    // The lock is released on the way out: the next transfer works.
    line->FailRead(0);
    EXPECT_EQ(comm.Read(buf, 8), 3);
    // A negative count is the caller's mistake, not a transfer of "-n" bytes.
    const int invalid = comsetup::OsErrorInvalidArgument(); // EINVAL, ERROR_INVALID_PARAMETER
    EXPECT_EQ(Raised([&] { comm.Write("x", -2); }).what(),
              "Write error (Error: " + std::to_string(invalid) + ") ");
    EXPECT_EQ(Raised([&] { comm.Read(buf, -1); }).ErrorCode, invalid);
}

TEST(CommClosed, HeldBackWriteTimesOutAndVanishedDeviceFails) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);
    comm.SetWriteTimeout(20);
    comm.Open();
    line->HoldWrites(true);
    EXPECT_EQ(comm.Write("abc", 3), -1);
    line->HoldWrites(false);
    EXPECT_EQ(comm.Write("abc", 3), 3);
    EXPECT_EQ(line->Written(), "abc");

    line->Vanish();
    char buf[4];
    EXPECT_EQ(Raised([&] { comm.Read(buf, 4); }).ErrorCode, comsetup::OsErrorDeviceGone());
    EXPECT_EQ(Raised([&] { comm.Write("x", 1); }).ErrorCode, comsetup::OsErrorDeviceGone());
    comm.Close();
    EXPECT_EQ(Raised([&] { comm.Open(); }).ErrorCode, ENOENT);
}

TEST(CommClosed, EventCharsAssignCopiesWithoutTouchingTheDevice) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm target(line);
    target.Open();
    const int applied = line->SetStateCount();

    TComm source;
    source.EventChars().SetXonChar('A');
    source.EventChars().SetEvtChar('\n');
    target.EventChars().Assign(&source.EventChars());
    EXPECT_EQ(target.EventChars().XonChar(), 'A');
    EXPECT_EQ(target.EventChars().EvtChar(), '\n');
    EXPECT_EQ(line->SetStateCount(), applied);
    EXPECT_EQ(line->AppliedState().XonChar, 17);
    EXPECT_THROW(target.EventChars().Assign(nullptr), std::invalid_argument);

    // Writing a character re-applies everything at once, even with an unchanged value.
    target.EventChars().SetXoffChar(target.EventChars().XoffChar());
    EXPECT_EQ(line->SetStateCount(), applied + 1);
    EXPECT_EQ(line->AppliedState().XonChar, 'A');
    EXPECT_EQ(line->AppliedState().EvtChar, '\n');
}

} // namespace
