// The POSIX side of the configuration files: a save that cannot complete leaves the old file
// whole, targets other than a regular file are refused and left as they were, a named pipe
// reads without a hang, and two names of one device are one port in a batch.
#include "config/config_json.h"
#include "config/plan.h"
#include "tests/support/files.h"
#include "tests/support/full_disk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace comsetup;
using namespace comsetup::config;
using comsetup::test::FullDisk;
using comsetup::test::ReadFile;
using comsetup::test::TempFolder;

namespace {

// A socket file at path, as a server leaves one.
void MakeSocketFile(const std::string& path) {
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(sock);
}

// What a save says, or "" when it went through.
std::string SaveMessage(const std::string& path) {
    try {
        SaveSetupFile(path, SetupProfile{});
    } catch (const ValueError& error) {
        return error.what();
    }
    return {};
}

} // namespace

// A save that cannot complete (here: a file size limit, as a full disk or a quota would)
// leaves the file that was there whole and no temporary file beside it; a link is followed.
TEST(ConfigFiles, FailedSaveLeavesTheOldFileWhole) {
    TempFolder dir;
    const std::string good = R"({"port": "COM2"})";
    const std::string path = dir.Write("setup.json", good);
    ::chmod(path.c_str(), 0640);
    const std::string link = dir.File("link.json");
    std::filesystem::create_symlink(path, link);

    SetupProfile setup;
    std::string message;
    {
        FullDisk full(64); // smaller than any saved setup
        try {
            SaveSetupFile(link, setup);
        } catch (const ValueError& error) {
            message = error.what();
        }
    }

    EXPECT_NE(message.find("left as it was"), std::string::npos) << message;
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), good);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("")), {}), 2);

    // A new name on a full disk had no file to leave as it was, and none is made.
    std::string newName;
    {
        FullDisk full(64);
        newName = SaveMessage(dir.File("new.json"));
    }
    EXPECT_NE(newName.find("; nothing was written"), std::string::npos) << newName;
    EXPECT_EQ(newName.find("left as it was"), std::string::npos) << newName;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("")), {}), 2);

    SaveSetupFile(link, setup); // without the limit: the link stays, its file is replaced
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    SetupProfile loaded;
    LoadSetupFile(path, loaded);
    EXPECT_EQ(loaded, setup);
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u); // the file keeps its permissions
}

// A save replaces only a regular file or takes a new name: anything else is refused with its
// reason and left as it was, as is a protected file.
TEST(ConfigFiles, SaveTargetsOtherThanARegularFileAreRefused) {
    TempFolder dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string toDevice = dir.File("mynull");
    std::filesystem::create_symlink("/dev/null", toDevice);
    const std::string protectedFile = dir.Write("protected.json", "{}");
    ::chmod(protectedFile.c_str(), 0444);
    std::filesystem::create_directory(dir.File("folder"));
    MakeSocketFile(dir.File("socket"));
    // A name of outside bytes is shown escaped: a control character, a byte of no UTF-8 letter.
    const std::string oddName = dir.File("odd\x1b[2J\xff");
    ASSERT_EQ(::mkfifo(oddName.c_str(), 0600), 0);
    // Ways into /proc the text of the path does not show.
    std::filesystem::create_symlink("/proc/self/fd", dir.File("fds"));
    std::filesystem::create_symlink("/proc/self/fd/1", dir.File("out"));
    const std::string upwards = dir.File("../../../../../../../../../../../proc/self/fd/1");
    struct Row {
        std::string path;
        std::string said;
    };
    const std::vector<Row> rows{
        {fifo, "is a pipe, not a regular file"},
        {toDevice, "is a device, not a regular file"},
        {"/dev/null", "is a device, not a regular file"},
        {"/dev/stdout", "names a stream this program has open"},
        {"//proc/self/fd/1", "names a stream this program has open"},
        {"/dev//fd/1", "names a stream this program has open"},
        {upwards, "names a stream this program has open"},
        {dir.File("fds") + "/1", "names a stream this program has open"},
        {dir.File("out"), "names a stream this program has open"},
        {dir.File("socket"), "is a socket, not a regular file"},
        {oddName, dir.File("odd\\x1b[2J\\xff: is a pipe, not a regular file")},
        {dir.File("folder"), "is a folder, not a regular file"},
        {protectedFile, "read-only: the file is protected against writing; remove the protection "
                        "to overwrite it"},
    };
    for (const Row& r : rows) {
        struct stat before {};
        ::lstat(r.path.c_str(), &before);
        std::string message;
        try {
            SaveSetupFile(r.path, SetupProfile{});
        } catch (const ValueError& error) {
            message = error.what();
        }
        EXPECT_NE(message.find(r.said), std::string::npos) << r.path << ": " << message;
        struct stat after {};
        ::lstat(r.path.c_str(), &after);
        EXPECT_EQ(after.st_mode, before.st_mode) << r.path;
        EXPECT_EQ(after.st_ino, before.st_ino) << r.path;
    }
    EXPECT_EQ(ReadFile(protectedFile), "{}");
    // A new name and a regular file are written, also a name of 250 letters (with room for
    // no suffix of a temporary name beside it); nothing else is left in the folder.
    const auto entries = std::distance(std::filesystem::directory_iterator(dir.Path()), {});
    for (const std::string& name : {std::string("new.json"), std::string(250, 'n')}) {
        EXPECT_EQ(SaveMessage(dir.File(name)), "") << name.size();
        EXPECT_NE(ReadFile(dir.File(name)).find("\"port\""), std::string::npos);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), entries + 2);
}

// A named pipe nobody writes to is not waited for, and is named as what it is (not as an
// empty or malformed file), for a configuration and a plan alike; so is a socket.
TEST(ConfigFiles, NamedPipeNobodyWritesToIsNamedAsSuch) {
    TempFolder dir;
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    MakeSocketFile(dir.File("socket"));
    const std::vector<std::pair<std::string, std::string>> rows{
        {dir.File("pipe"), dir.File("pipe") + ": is a named pipe that nothing was written to"},
        {dir.File("socket"), dir.File("socket") + ": is a socket, not a file"},
    };
    for (const auto& [path, said] : rows) {
        SetupProfile setup;
        try {
            LoadSetupFile(path, setup);
            ADD_FAILURE() << path << " was read as a configuration";
        } catch (const ValueError& error) {
            EXPECT_NE(std::string(error.what()).find(said), std::string::npos) << error.what();
        }
        try {
            LoadPlanFile(path, SetupProfile{});
            ADD_FAILURE() << path << " was read as a plan";
        } catch (const ValueError& error) {
            EXPECT_NE(std::string(error.what()).find(said), std::string::npos) << error.what();
        }
    }
}

// A read-only file system is named as such, for a file there and a new name alike (not as a
// protected file), in a small tmpfs mounted read-only in a mount namespace of a child's own.
TEST(ConfigFiles, ReadOnlyFileSystemIsNamedAsSuch) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a read-only tmpfs in a mount namespace needs root";
    }
    TempFolder dir;
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        std::string said;
        const std::string place = dir.File("");
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", place.c_str(), "tmpfs", 0, "size=64k") != 0) {
            said = "skip: no mount namespace here";
        } else {
            std::ofstream(place + "old.json") << "{}";
            if (::mount(nullptr, place.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
                said = "skip: the tmpfs could not be made read-only";
            } else {
                said = SaveMessage(place + "old.json") + "\n" + SaveMessage(place + "new.json");
            }
        }
        (void)!::write(report[1], said.data(), said.size());
        ::_exit(0);
    }
    ::close(report[1]);
    std::string said;
    char buffer[512];
    for (ssize_t got; (got = ::read(report[0], buffer, sizeof buffer)) > 0;) {
        said.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (said.starts_with("skip: ")) {
        GTEST_SKIP() << said.substr(6);
    }
    EXPECT_EQ(said,
              dir.File("old.json") + ": is on a read-only file system; nothing was written\n" +
                  dir.File("new.json") + ": is on a read-only file system; nothing was written");
}

// Two names of one device (a link, another path to the same node) are one port.
TEST(ConfigFiles, TwoNamesOfOneDeviceAreOnePortInABatch) {
    TempFolder dir;
    const std::string link = dir.File("converter-link");
    std::filesystem::create_symlink("/dev/null", link);
    for (const std::string& second : {link, std::string("/dev/../dev/null")}) {
        try {
            LoadBatchFile(
                dir.Write("bad.json", R"([{"port": "/dev/null"}, {"port": ")" + second + R"("}])"));
            ADD_FAILURE() << "accepted: " << second;
        } catch (const ValueError& error) {
            EXPECT_NE(std::string(error.what())
                          .find("download 2: port \"" + second +
                                "\" is already used by download 1 (port \"/dev/null\")"),
                      std::string::npos)
                << error.what();
        }
    }
}
