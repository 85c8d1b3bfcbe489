// The configuration files as each platform reads and replaces them (config/posix/ and
// config/win32/, the same checks on both): a save replaces a regular file whole and leaves
// nothing beside it, refuses a folder or a protected file and leaves it as it was, and a read
// names the file and the cause.
#include "config/config_json.h"
#include "config_errors.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

using namespace comsetup;
using namespace comsetup::config;
using comsetup::test::LoadError;
using comsetup::test::ReadFile;
using comsetup::test::SaveError;
using comsetup::test::TempFolder;

TEST(ConfigFiles, SaveReplacesARegularFileWholeAndLeavesNothingBeside) {
    TempFolder dir;
    const std::string path = dir.Write("setup.json", R"({"port": "COM2"})");
    SetupProfile setup;
    setup.port = "COM7";
    SaveSetupFile(path, setup);
    SetupProfile loaded;
    LoadSetupFile(path, loaded);
    EXPECT_EQ(loaded, setup);
    // No temporary file is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ConfigFiles, SaveRefusesAFolderOrAProtectedFileAndLeavesIt) {
    TempFolder dir;
    std::filesystem::create_directory(dir.File("folder"));
    const std::string protectedFile = dir.Write("protected.json", "{}");
    std::filesystem::permissions(protectedFile,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);

    EXPECT_NE(SaveError(dir.File("folder")).find("is a folder, not a regular file"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder")));
    EXPECT_NE(SaveError(protectedFile)
                  .find("read-only: the file is protected against writing; remove the "
                        "protection to overwrite it"),
              std::string::npos);
    EXPECT_EQ(ReadFile(protectedFile), "{}");
    // Given back, so that the folder can be removed on every system.
    std::filesystem::permissions(protectedFile, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

TEST(ConfigFiles, ReadNamesTheFileAndTheCause) {
    TempFolder dir;
    const std::string missing = dir.File("none.json");
    const std::string unreadable = LoadError(missing);
    EXPECT_EQ(unreadable.rfind(missing + ": cannot be read (", 0), 0u) << unreadable;
    EXPECT_GT(unreadable.size(), missing.size() + 20) << "no cause given: " << unreadable;
    EXPECT_NE(LoadError(dir.Path()).find(": is a directory, not a configuration file"),
              std::string::npos);
}
