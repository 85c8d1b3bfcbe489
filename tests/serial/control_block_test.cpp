// What the component writes into the device control block: flag words, limits, characters.
#include "serial/comm.h"
#include "serial/line_settings.h"
#include "serial/memory_device.h"

#include <gtest/gtest.h>

namespace {

using namespace comsetup;

ControlBlock ReportedWithFlags(uint32_t flags) {
    ControlBlock dcb;
    dcb.Flags = flags;
    dcb.BaudRate = 1200;
    return dcb;
}

ControlBlock OpenedWith(TFlowControl flow, TCommOptions options, uint32_t reportedFlags) {
    auto line = std::make_shared<MemoryLine>();
    line->SetReportedState(ReportedWithFlags(reportedFlags));
    MemoryComm comm(line);
    comm.SetFlowControl(flow);
    comm.SetOptions(options);
    comm.Open();
    return line->AppliedState();
}

TEST(ControlBlock, FlowControlFlagWords) {
    constexpr uint32_t kDeviceDefault = 0x1011; // binary, DTR enabled, RTS enabled
    EXPECT_EQ(OpenedWith(fcNone, {}, kDeviceDefault).Flags, 0x0001u);
    EXPECT_EQ(OpenedWith(fcNone, {coParityCheck}, kDeviceDefault).Flags, 0x0003u);
    EXPECT_EQ(OpenedWith(fcCTS, {}, kDeviceDefault).Flags, 0x3015u);
    EXPECT_EQ(OpenedWith(fcDTR, {}, 0x0001).Flags, 0x0029u);
    EXPECT_EQ(OpenedWith(fcSoftware, {}, 0x0001).Flags, 0x0301u);
    EXPECT_EQ(OpenedWith(fcDefault, {}, 0x4A91).Flags, 0x4211u); // options clear their bits
}

TEST(ControlBlock, OptionsSetAndClearTheirBits) {
    const TCommOptions all{coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip};
    EXPECT_EQ(OpenedWith(fcNone, all, 0).Flags,
              0x0001u | 0x0002 | 0x0040 | 0x0080 | 0x0400 | 0x0800);
    EXPECT_EQ(OpenedWith(fcDefault, {}, 0xFFFF).Flags, 0xF33Du);
}

TEST(ControlBlock, XonXoffLimitsAreAQuarterOfTheReceiveQueue) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);
    comm.Open();
    EXPECT_EQ(line->AppliedState().XonLim, 1024);
    EXPECT_EQ(line->AppliedState().XoffLim, 1024);
    EXPECT_EQ(line->ReadQueueSize(), 4096);
    EXPECT_EQ(line->WriteQueueSize(), 2048);
    comm.Close();
    comm.SetReadBufSize(10);
    comm.Open();
    EXPECT_EQ(line->AppliedState().XonLim, 2);
    EXPECT_EQ(line->AppliedState().XoffLim, 2);
}

TEST(ControlBlock, LimitsDoNotWrapForHugeOrNegativeQueues) {
    ControlBlock dcb;
    LineSettings s;
    s.readBufSize = 1 << 20; // a quarter does not fit in 16 bits
    ApplyLineSettings(dcb, s);
    EXPECT_EQ(dcb.XonLim, 0xFFFF);
    s.readBufSize = -8;
    ApplyLineSettings(dcb, s);
    EXPECT_EQ(dcb.XonLim, 0);
}

TEST(ControlBlock, LineFieldsAndCharacters) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);
    comm.SetBaudRate(br256000);
    comm.SetParity(paSpace);
    comm.SetStopbits(sb15);
    comm.SetDatabits(da5);
    comm.EventChars().SetErrorChar('?');
    comm.EventChars().SetEofChar(26);
    comm.Open();
    ControlBlock dcb = line->AppliedState();
    EXPECT_EQ(dcb.BaudRate, 256000u);
    EXPECT_EQ(dcb.Parity, 4);
    EXPECT_EQ(dcb.StopBits, 1);
    EXPECT_EQ(dcb.ByteSize, 5);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EofChar, 26);

    // While open, one setter re-applies all settings; closed, it only stores.
    const int before = line->SetStateCount();
    comm.SetParity(paOdd);
    EXPECT_EQ(line->SetStateCount(), before + 1);
    EXPECT_EQ(line->AppliedState().Parity, 1);
    EXPECT_EQ(line->AppliedState().BaudRate, 256000u);
    comm.SetParity(paOdd);
    EXPECT_EQ(line->SetStateCount(), before + 1);
    comm.Close();
    comm.SetBaudRate(br14400);
    EXPECT_EQ(line->AppliedState().BaudRate, 256000u);
    comm.Open();
    EXPECT_EQ(line->AppliedState().BaudRate, 14400u);
}

TEST(ControlBlock, TimeoutsMakeReadsReturnAtOnce) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);
    comm.Open();
    const CommTimeouts t = line->AppliedTimeouts();
    EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 0u);
}

TEST(ControlBlock, EnumerationValues) {
    const uint32_t rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                              19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int i = 0; i <= br256000; ++i)
        EXPECT_EQ(BaudRateValue(static_cast<TBaudrate>(i)), rates[i]);
    EXPECT_EQ(DataBitsValue(da4), 4);
    EXPECT_EQ(DataBitsValue(da8), 8);
    EXPECT_EQ(EventMaskOf(AllCommEvents()), 0x01FFu);
    EXPECT_EQ(EventMaskOf({evBreak, evRxChar}), 0x0041u);
    EXPECT_EQ(EventMaskOf({evError, evRing}), 0x0180u);
}

} // namespace
