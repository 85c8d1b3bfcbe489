// Opening real devices: failures with their codes, exclusivity, name mapping.
#include "serial/comm.h"
#include "tests/serial/pty_pair.h"
#include "tests/serial/raised.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using comsetup::test::PtyPair;

using comsetup::test::Raised;

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
    if (::geteuid() != 0) {
        const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_LT(fd, 0);
        if (fd >= 0)
            ::close(fd);
    }

    first.Close();
    second.Open();
    EXPECT_TRUE(second.Enabled());
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
