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
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace comsetup;
using namespace comsetup::config;
using comsetup::test::FullDisk;
using comsetup::test::ReadFile;
using comsetup::test::TempFolder;

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
    struct Row {
        std::string path;
        std::string said;
    };
    const std::vector<Row> rows{
        {fifo, "is a pipe, not a regular file"},
        {toDevice, "is a device, not a regular file"},
        {"/dev/null", "is a device, not a regular file"},
        {"/dev/stdout", "names a stream this program has open"},
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
    // A new name and a regular file are written.
    SaveSetupFile(dir.File("new.json"), SetupProfile{});
    EXPECT_NE(ReadFile(dir.File("new.json")).find("\"port\""), std::string::npos);
}

// A named pipe nobody writes to is not waited for, and is named as what it is (not as an
// empty or malformed file), for a configuration and a plan alike.
TEST(ConfigFiles, NamedPipeNobodyWritesToIsNamedAsSuch) {
    TempFolder dir;
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    const std::string said = dir.File("pipe") + ": is a named pipe that nothing was written to";
    SetupProfile setup;
    try {
        LoadSetupFile(dir.File("pipe"), setup);
        ADD_FAILURE() << "an empty pipe was read as a configuration";
    } catch (const ValueError& error) {
        EXPECT_NE(std::string(error.what()).find(said), std::string::npos) << error.what();
    }
    try {
        LoadPlanFile(dir.File("pipe"), SetupProfile{});
        ADD_FAILURE() << "an empty pipe was read as a plan";
    } catch (const ValueError& error) {
        EXPECT_NE(std::string(error.what()).find(said), std::string::npos) << error.what();
    }
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
