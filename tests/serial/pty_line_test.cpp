// Line settings as another program sees them on the terminal (stty), and settings refused.
#include "serial/comm.h"
#include "tests/serial/pty_pair.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

using comsetup::test::PtyPair;

// True when stty lists exactly this flag word ("parenb" or "-parenb").
bool Has(const std::string& stty, const std::string& word) {
    std::istringstream in(stty);
    std::string token;
    while (in >> token)
        if (token == word || token == word + ";")
            return true;
    return false;
}

class PtyLine : public ::testing::Test {
protected:
    void SetUp() override { comm.SetDeviceName(pty.SlavePath()); }
    PtyPair pty;
    TComm comm;
};

TEST_F(PtyLine, OpenAppliesRawLineAsConfigured) {
    comm.SetFlowControl(fcNone);
    comm.Open();
    const std::string s = pty.SttyAll();
    EXPECT_NE(s.find("speed 9600 baud"), std::string::npos) << s;
    for (const char* w : {"cs8", "-parenb", "-cstopb", "-crtscts", "-ixon", "-ixoff", "-icanon",
                          "-echo", "-opost", "-icrnl", "-isig", "clocal", "cread", "-inpck"})
        EXPECT_TRUE(Has(s, w)) << w << "\n" << s;
}

TEST_F(PtyLine, ChangesWhileOpenReachTheLineAtOnce) {
    comm.SetReadBufSize(512); // XON/XOFF limits of 128: the kernel's own, so input flow can be
    comm.Open(); // default flow control keeps the device's flags: no XON/XOFF on a fresh line
    // The device reports RTS enabled; CTS flow or-ed onto it would be RTS toggling, which a
    // terminal cannot do. From a plain line it is the CTS/RTS handshake.
    EXPECT_THROW(comm.SetFlowControl(fcCTS), ECommError);
    comm.SetFlowControl(fcNone);
    comm.SetBaudRate(br19200);
    comm.SetStopbits(sb20);
    comm.SetOptions({coParityCheck}); // checked, byte kept: no INPCK, which would zero it
    std::string s = pty.SttyAll();
    EXPECT_TRUE(Has(s, "-inpck")) << s;
    comm.SetOptions({coParityCheck, coErrorChar, coIgnoreXOff}); // replaced by ErrorChar 0
    comm.SetFlowControl(fcCTS);
    s = pty.SttyAll();
    EXPECT_NE(s.find("speed 19200 baud"), std::string::npos) << s;
    for (const char* w : {"cs8", "cstopb", "crtscts", "inpck", "-ixon"})
        EXPECT_TRUE(Has(s, w)) << w << "\n" << s;

    comm.SetFlowControl(fcSoftware); // or-ed onto what the line has
    s = pty.SttyAll();
    for (const char* w : {"crtscts", "ixon", "ixoff"})
        EXPECT_TRUE(Has(s, w)) << w << "\n" << s;

    comm.SetFlowControl(fcNone);
    comm.SetOptions({});
    comm.SetStopbits(sb10);
    s = pty.SttyAll();
    for (const char* w : {"-cstopb", "-ixon", "-ixoff", "-crtscts", "-inpck"})
        EXPECT_TRUE(Has(s, w)) << w << "\n" << s;
}

TEST_F(PtyLine, SpecialCharactersReachTheLine) {
    comm.EventChars().SetXonChar(0x11);
    comm.EventChars().SetXoffChar(0x01); // ^A
    comm.Open();
    EXPECT_TRUE(Has(pty.SttyAll(), "^A")) << pty.SttyAll();
    comm.EventChars().SetXonChar(0x02); // applied at once while open
    EXPECT_NE(pty.SttyAll().find("start = ^B"), std::string::npos) << pty.SttyAll();
}

TEST_F(PtyLine, NonStandardRatesAreSetExactly) {
    comm.Open();
    for (TBaudrate rate : {br14400, br56000, br128000, br256000, br110, br115200}) {
        comm.SetBaudRate(rate);
        EXPECT_EQ(pty.KernelSpeed(), comsetup::BaudRateValue(rate));
        EXPECT_EQ(comm.ControlBlock().BaudRate, comsetup::BaudRateValue(rate));
    }
}

TEST_F(PtyLine, SettingsTheLineCannotTakeAreRefusedAsTheDevice) {
    comm.Open();
    auto refusal = [&](auto change) -> std::string {
        try {
            change();
        } catch (const ECommError& e) {
            return e.what();
        }
        return "accepted";
    };
    const std::string refused = "Error updating DataControlBlock (Error: 22) ";
    EXPECT_EQ(refusal([&] { comm.SetDatabits(da4); }), refused);
    // A pseudo-terminal carries 8 bits without parity only; it does not pretend otherwise.
    EXPECT_EQ(refusal([&] { comm.SetDatabits(da7); }), refused);
    comm.SetDatabits(da8);
    EXPECT_EQ(refusal([&] { comm.SetParity(paEven); }), refused);
    comm.SetParity(paNone);
    EXPECT_EQ(refusal([&] { comm.SetStopbits(sb15); }), refused); // 1.5 needs 5 data bits
    comm.SetStopbits(sb10);
    EXPECT_EQ(refusal([&] { comm.SetFlowControl(fcDTR); }), refused); // no DSR flow in termios
    comm.SetFlowControl(fcNone);
    // Settings a terminal would take without effect are refused too, and not reported as set.
    EXPECT_EQ(refusal([&] { comm.SetOptions({coNullStrip}); }), refused);
    EXPECT_EQ(comm.ControlBlock().Flags, comsetup::dcbflag::Binary);
    EXPECT_EQ(refusal([&] { comm.SetOptions({coDsrSensitivity}); }), refused);
    comm.SetOptions({});
    EXPECT_EQ(refusal([&] { comm.SetFlowControl(fcCTS); }), refused); // limits 1024, not 128
    comm.SetFlowControl(fcNone);
    // The refusals left the line as it was.
    const std::string s = pty.SttyAll();
    for (const char* w : {"cs8", "-parenb", "-cstopb", "-crtscts"})
        EXPECT_TRUE(Has(s, w)) << w << "\n" << s;
    EXPECT_TRUE(comm.Enabled());
}

TEST_F(PtyLine, TerminalWithoutModemLinesIsNoError) {
    // A pty refuses DTR/RTS requests (ENOTTY); every flow mode that sets them must still open.
    comm.SetReadBufSize(512);
    comm.SetOptions({coIgnoreXOff});
    for (TFlowControl flow : {fcNone, fcSoftware, fcDefault}) {
        comm.SetFlowControl(flow);
        EXPECT_NO_THROW(comm.Open()) << static_cast<int>(flow);
        if (flow == fcNone) {
            EXPECT_NO_THROW(comm.SetFlowControl(fcCTS)); // sets RTS handshake
        }
        comm.Close();
    }
}

} // namespace
