// Which control blocks a terminal refuses because it could not put them in effect.
#include "serial/error_causes.h"
#include "serial/linux/termios_map.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

using namespace comsetup;
namespace f = comsetup::dcbflag;

struct Row {
    const char* what;
    uint32_t flags;
    uint16_t limits; // XonLim and XoffLim
    char errorChar;
    int expected;
};

constexpr uint32_t kCtsFlow = f::OutxCtsFlow | f::RtsControlHandshake;
constexpr uint32_t kSoftFlow = f::OutX | f::InX | f::TXContinueOnXoff;

const Row kRows[] = {
    {"plain binary line", f::Binary, 1024, 0, 0},
    {"modem lines on", f::Binary | f::DtrControlEnable | f::RtsControlEnable, 1024, 0, 0},
    {"parity checked, byte kept", f::Binary | f::Parity, 1024, 0, 0},
    {"parity error replaced by 0", f::Binary | f::Parity | f::ErrorChar, 1024, 0, 0},
    {"parity error replaced by '?'", f::Binary | f::Parity | f::ErrorChar, 1024, '?', EINVAL},
    {"error char without parity check", f::Binary | f::ErrorChar, 1024, '?', 0},
    {"zero bytes stripped", f::Binary | f::Null, 1024, 0, EINVAL},
    {"DSR sensitivity", f::Binary | f::DsrSensitivity, 1024, 0, EINVAL},
    {"abort on error", f::Binary | f::AbortOnError, 1024, 0, EINVAL},
    {"DSR output flow", f::Binary | f::OutxDsrFlow, 1024, 0, EINVAL},
    {"DTR handshake", f::Binary | f::DtrControlHandshake, 1024, 0, EINVAL},
    {"RTS toggle", f::Binary | f::RtsControlToggle, 1024, 0, EINVAL},
    {"CTS output flow alone", f::Binary | f::OutxCtsFlow | f::RtsControlEnable, 128, 0, EINVAL},
    {"RTS input flow alone", f::Binary | f::RtsControlHandshake, 128, 0, EINVAL},
    {"CTS/RTS at the kernel's limits", f::Binary | kCtsFlow, 128, 0, 0},
    {"CTS/RTS at other limits", f::Binary | kCtsFlow, 1024, 0, EINVAL},
    {"XON/XOFF at the kernel's limits", f::Binary | kSoftFlow, 128, 0, 0},
    {"XON/XOFF at other limits", f::Binary | kSoftFlow, 1024, 0, EINVAL},
    {"XOFF sent stops sending", f::Binary | f::OutX | f::InX, 128, 0, EINVAL},
    {"output XON/XOFF only, any limits", f::Binary | f::OutX, 1024, 0, 0},
};

TEST(TermiosRefusal, EverySettingIsInEffectOrRefused) {
    for (const Row& row : kRows) {
        ControlBlock dcb;
        dcb.Flags = row.flags;
        dcb.XonLim = row.limits;
        dcb.XoffLim = row.limits;
        dcb.ErrorChar = row.errorChar;
        EXPECT_EQ(posix::RefuseWhatTermiosCannotDo(dcb), row.expected) << row.what;
    }
}

TEST(PosixErrors, CommonCausesNameWhatToDo) {
    EXPECT_EQ(OpenErrorCause(EACCES), "permission denied: add yourself to the group dialout");
    EXPECT_EQ(OpenErrorCause(EBUSY), "in use by another program");
    EXPECT_EQ(OpenErrorCause(ENOENT), "no such device");
    EXPECT_EQ(OpenErrorCause(-1), "not a serial device");
    EXPECT_EQ(OpenErrorCause(EROFS), "Read-only file system"); // the system's own words
}

} // namespace
