// Opening real devices: failures with their codes, exclusivity, the line given back as found
// at every end, name mapping.
#include "serial/comm.h"
#include "serial/port_release.h"
#include "tests/serial/line_state.h"
#include "tests/serial/pty_pair.h"
#include "tests/serial/raised.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using comsetup::test::Describe;
using comsetup::test::LineState;
using comsetup::test::PtyPair;
using comsetup::test::Raised;
using comsetup::test::ReadLineState;
using comsetup::test::SetCookedLine;

TEST(PtyOpen, MissingDeviceGivesOsCodeAndStaysClosed) {
    TComm comm;
    comm.SetDeviceName("/dev/comsetup-no-such-device");
    ECommError e = Raised([&] { comm.Open(); });
    EXPECT_STREQ(e.what(), "Error accessing specified device (Error: 2) ");
    EXPECT_EQ(e.ErrorCode, ENOENT);
    EXPECT_FALSE(comm.Enabled());
}

TEST(PtyOpen, RegularFileOrNonTerminalIsRefusedWithMinusOne) {
    char path[] = "/tmp/comsetup-serial-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    TComm comm;
    comm.SetDeviceName(path);
    ECommError e = Raised([&] { comm.Open(); });
    EXPECT_STREQ(e.what(), "Invalid device handle, access denied (Error: -1) ");
    EXPECT_FALSE(comm.Enabled());
    ::close(fd);
    ::unlink(path);

    comm.SetDeviceName("/dev/null"); // a character device, but no terminal
    EXPECT_EQ(Raised([&] { comm.Open(); }).ErrorCode, -1);
    EXPECT_FALSE(comm.Enabled());
}

TEST(PtyOpen, DeviceIsExclusiveUntilClosed) {
    PtyPair pty;
    TComm first;
    first.SetDeviceName(pty.SlavePath());
    first.Open();

    TComm second;
    second.SetDeviceName(pty.SlavePath());
    ECommError e = Raised([&] { second.Open(); });
    EXPECT_EQ(std::string(e.what()).rfind("Error accessing specified device (Error: ", 0), 0u);
    EXPECT_EQ(e.ErrorCode, EBUSY);
    EXPECT_FALSE(second.Enabled());

    // Another program's plain open is refused too (TIOCEXCL), unless it runs as root.
    EXPECT_TRUE(ReadLineState(pty.SlavePath()).exclusive);

    first.Close();
    EXPECT_FALSE(ReadLineState(pty.SlavePath()).exclusive);
    second.Open();
    EXPECT_TRUE(second.Enabled());
}

// However the port ends, the next program finds the line as it was before the open (a
// terminal keeps its settings, and the port may be the user's own terminal) and not
// exclusive: after Close, when the component goes away open, and when the process ends at
// once from a signal handler, which runs no destructor, also for a port opened after the
// handler gave the ports back.
TEST(PtyOpen, EveryEndGivesTheLineBackAsFound) {
    enum class End { Close, Destroyed, SignalHandler, OpenedWhileEnding };
    constexpr int kEnded = 42;
    for (const End end : {End::Close, End::Destroyed, End::SignalHandler, End::OpenedWhileEnding}) {
        SCOPED_TRACE(static_cast<int>(end));
        PtyPair pty;
        const termios before = SetCookedLine(pty.SlavePath(), true);
        ASSERT_TRUE((before.c_lflag & (ICANON | ECHO)) == (ICANON | ECHO));
        if (end == End::Close || end == End::Destroyed) {
            auto comm = std::make_unique<TComm>();
            comm->SetDeviceName(pty.SlavePath());
            comm->Open();
            const LineState held = ReadLineState(pty.SlavePath());
            EXPECT_TRUE(held.exclusive);
            EXPECT_NE(Describe(held.settings), Describe(before)); // raw at 9600 while open
            if (end == End::Close)
                comm->Close();
            comm.reset();
        } else {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                struct sigaction onTerm {};
                onTerm.sa_handler = [](int) {
                    comsetup::ReleaseOpenPortsForExit();
                    ::_exit(kEnded);
                };
                ::sigaction(SIGTERM, &onTerm, nullptr);
                if (end == End::OpenedWhileEnding)
                    comsetup::ReleaseOpenPortsForExit(); // the end begins before the open
                TComm comm;
                comm.SetDeviceName(pty.SlavePath());
                try {
                    comm.Open();
                } catch (...) {
                    ::_exit(1);
                }
                if (end == End::SignalHandler)
                    ::raise(SIGTERM);
                ::_exit(kEnded); // without a give-back of its own
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), kEnded);
        }
        const LineState after = ReadLineState(pty.SlavePath());
        ASSERT_TRUE(after.opened);
        EXPECT_FALSE(after.exclusive);
        EXPECT_EQ(Describe(after.settings), Describe(before));
    }
}

// A program that opened the terminal before us without locking it does not stop our open,
// and takes what arrives whenever it reads first: the component names it.
TEST(PtyOpen, AnotherProgramHoldingTheDeviceIsNamed) {
    PtyPair pty;
    const int held = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(held, 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Keeps the inherited descriptor; "sleep" is what the system then shows by name.
        ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(held);
    TComm comm;
    comm.SetDeviceName(pty.SlavePath());
    comm.Open();
    // The child shows once it has replaced itself with sleep (its name until then is ours).
    const std::string expected = "sleep (pid " + std::to_string(child) + ")";
    std::vector<std::string> users;
    for (int i = 0; i < 200 && users != std::vector<std::string>{expected}; ++i) {
        users = comm.OtherUsers();
        ::usleep(10000);
    }
    EXPECT_EQ(users, std::vector<std::string>{expected});

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    // This process, holding it itself, is not another program.
    EXPECT_TRUE(comm.OtherUsers().empty());
    comm.Close();
    EXPECT_TRUE(comm.OtherUsers().empty());
}

TEST(PtyOpen, DeviceWithoutPermissionCarriesTheOsCode) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to open as another user";
    PtyPair pty;
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0600), 0);
    // A child that runs as "nobody" (outside the dialout and tty groups) tries to open it.
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 100;
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            TComm comm;
            comm.SetDeviceName(pty.SlavePath());
            try {
                comm.Open();
                code = 0;
            } catch (const ECommError& e) {
                const bool exact =
                    std::string(e.what()) == "Error accessing specified device (Error: " +
                                                 std::to_string(e.ErrorCode) + ") ";
                code = exact ? e.ErrorCode : 101;
            }
        }
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EACCES);
}

TEST(PtyOpen, ComNamesMapToSerialDevicesOrTheirOverride) {
    PtyPair pty;
    ::setenv("COMSETUP_COM7", pty.SlavePath().c_str(), 1);
    TComm comm;
    comm.SetDeviceName("COM7");
    comm.Open();
    EXPECT_TRUE(comm.Enabled());
    comm.Close();
    ::unsetenv("COMSETUP_COM7");
}

} // namespace
