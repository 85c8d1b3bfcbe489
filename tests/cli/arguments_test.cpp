// The command line and the JSON files of comsetup-cli: values from defaults, then --config,
// then options; refusals name the option or key and list what is accepted.
#include "child_process.h"
#include "cli/arguments.h"
#include "cli/command_runner.h"
#include "cli/exit_codes.h"
#include "cli/profile.h"

#include "download/setup_rules.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace comsetup;
using namespace comsetup::cli;
using comsetup::test::FullDisk;
using comsetup::test::ReadFile;

namespace {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/comsetup-cli-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name, const std::string& content) const {
        const std::string path = path_ + "/" + name;
        std::ofstream(path) << content;
        return path;
    }
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

ParsedCommandLine Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
}

std::string LoadError(const std::string& path) {
    SetupProfile setup;
    try {
        LoadSetupFile(path, setup);
    } catch (const ValueError& error) {
        return error.what();
    }
    return {};
}

} // namespace

TEST(Arguments, DownloadWithoutValuesTakesTheWizardDefaults) {
    const auto parsed = Parse({"download", "--port", "COM3"});
    ASSERT_TRUE(parsed.arguments) << parsed.err;
    EXPECT_EQ(parsed.arguments->command, Command::Download);
    SetupProfile expected;
    expected.port = "COM3";
    EXPECT_EQ(parsed.arguments->setup, expected);
}

TEST(Arguments, EveryValueOptionReachesTheSetup) {
    const auto parsed =
        Parse({"download",     "--port",   "/dev/ttyUSB0", "--mode",      "point-to-multipoint",
               "--master",     "--ip",     "10.0.0.5",     "--mask",      "255.255.0.0",
               "--local-port", "4001",     "--gateway",    "10.0.0.1",    "--baud",
               "115200",       "--parity", "even",         "--stop-bits", "2",
               "--flow",       "cts-rts",  "--peer",       "10.0.0.7",    "--log",
               "x.log",        "--json",   "--plain"});
    ASSERT_TRUE(parsed.arguments) << parsed.err;
    const SetupProfile& s = parsed.arguments->setup;
    EXPECT_EQ(s.port, "/dev/ttyUSB0");
    EXPECT_EQ(s.mode, Mode::PointToMultipoint);
    EXPECT_TRUE(s.master);
    EXPECT_EQ(s.ip, (Ipv4{10, 0, 0, 5}));
    EXPECT_EQ(s.mask, (Ipv4{255, 255, 0, 0}));
    EXPECT_EQ(s.localPort, 4001);
    EXPECT_EQ(s.gateway, (Ipv4{10, 0, 0, 1}));
    EXPECT_EQ(s.baud, 115200);
    EXPECT_EQ(s.parityIndex, 2);
    EXPECT_EQ(s.stopBitsIndex, 1);
    EXPECT_EQ(s.flowIndex, 2);
    EXPECT_EQ(s.peer, (Ipv4{10, 0, 0, 7}));
    EXPECT_EQ(parsed.arguments->logPath, "x.log");
    EXPECT_TRUE(parsed.arguments->json);
    EXPECT_TRUE(parsed.arguments->plain);
}

TEST(Arguments, BadValuesAreRefusedNamingTheOptionAndTheAcceptedValues) {
    struct Case {
        std::vector<std::string> args;
        std::string mustContain;
    };
    const std::vector<Case> cases{
        {{"download", "--parity", "mark"}, "--parity: \"mark\""},
        {{"download", "--parity", "mark"}, "none, odd, even"},
        {{"download", "--flow", "rts"}, "none, xon-xoff, cts-rts, xon-xoff-pass"},
        {{"download", "--baud", "7"}, "--baud: \"7\""},
        {{"download", "--mode", "tunnel"}, "remote-com, point-to-point, point-to-multipoint"},
        {{"download", "--ip", "192.168.1"}, "--ip"},
        {{"download", "--mask", "255.255.255.1"}, std::string(kSubnetMaskMessage)},
        {{"download", "--local-port", "70000"}, "--local-port"},
        {{"download", "--master"}, "point-to-multipoint"},
        {{"download", "--mode", "point-to-point", "--master"}, "point-to-multipoint"},
        {{"download", "--stop-bits", "3"}, "1, 2"},
        {{"dry-run", "--firmware", "V6.5"}, "01.8, V6.5.0.7"},
        {{"dry-run"}, "--firmware"},
        {{"download", "--colour", "red"}, "--colour"},
        {{"download", "--ip"}, "--ip"},
        {{}, "download"},
        {{"upload"}, "upload"},
        {{"load"}, "unknown command \"load\""},
        {{"batch"}, "FILE"},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        std::string joined;
        for (const auto& a : c.args) {
            joined += a + " ";
        }
        EXPECT_FALSE(parsed.arguments) << joined;
        EXPECT_EQ(parsed.exitCode, kExitBadArguments) << joined;
        EXPECT_NE(parsed.err.find(c.mustContain), std::string::npos) << joined << "\n"
                                                                     << parsed.err;
    }
}

TEST(Arguments, HelpAndVersionAreAnswersNotErrors) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> mustContain; // on standard output
    };
    const std::string version = std::string("comsetup-cli ") + COMSETUP_VERSION + "\n";
    const std::vector<Case> cases{
        {{"download", "--help"}, {"--local-port", "[default: 192.168.1.200]"}},
        {{"--help"}, {"--version", "download"}},
        {{"--version"}, {version}},
        {{"--version", "download", "--port", "COM2"}, {version}}, // nothing is run
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        const std::string joined = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_FALSE(parsed.arguments) << joined;
        EXPECT_EQ(parsed.exitCode, kExitComplete) << joined;
        EXPECT_EQ(parsed.err, "") << joined;
        for (const auto& text : c.mustContain) {
            EXPECT_NE(parsed.out.find(text), std::string::npos) << joined << "\n" << parsed.out;
        }
    }
    EXPECT_EQ(Parse({"--version"}).out, version); // the version line alone
}

TEST(Arguments, ConfigFileIsReadFirstAndOptionsOverrideIt) {
    TempDir dir;
    const std::string config =
        dir.File("c.json", R"({"port": "COM4", "baud": 19200, "parity": "odd", "ip": "10.1.1.1"})");
    const auto parsed = Parse({"download", "--config", config, "--baud", "38400"});
    ASSERT_TRUE(parsed.arguments) << parsed.err;
    EXPECT_EQ(parsed.arguments->setup.port, "COM4");
    EXPECT_EQ(parsed.arguments->setup.baud, 38400);
    EXPECT_EQ(parsed.arguments->setup.parityIndex, 1);
    EXPECT_EQ(parsed.arguments->setup.ip, (Ipv4{10, 1, 1, 1}));

    const auto missing = Parse({"download", "--config", dir.Path("none.json")});
    EXPECT_EQ(missing.exitCode, kExitBadArguments);
    EXPECT_NE(missing.err.find("none.json"), std::string::npos) << missing.err;
}

TEST(ConfigJson, SavedFileLoadsBackToTheSameValues) {
    TempDir dir;
    SetupProfile setup;
    setup.port = "/dev/ttyUSB1";
    setup.mode = Mode::PointToMultipoint;
    setup.master = true;
    setup.ip = Ipv4{172, 16, 0, 9};
    setup.mask = Ipv4{255, 255, 240, 0};
    setup.localPort = 502;
    setup.gateway = Ipv4{172, 16, 0, 1};
    setup.baud = 300;
    setup.parityIndex = 2;
    setup.stopBitsIndex = 1;
    setup.flowIndex = 3;
    setup.peer = Ipv4{172, 16, 0, 10};
    const std::string path = dir.Path("saved.json");
    SaveSetupFile(path, setup);
    SetupProfile loaded;
    LoadSetupFile(path, loaded);
    EXPECT_EQ(loaded, setup);

    setup.gateway.reset(); // no gateway is written as null and read back as none
    SaveSetupFile(path, setup);
    loaded = SetupProfile{};
    loaded.gateway = Ipv4{1, 2, 3, 4};
    LoadSetupFile(path, loaded);
    EXPECT_EQ(loaded, setup);

    EXPECT_THROW(SaveSetupFile(dir.Path("no/such/dir/x.json"), setup), ValueError);
}

// A save that cannot complete (here: a file size limit, as a full disk or a quota would)
// leaves the file that was there whole and no temporary file beside it; a link is followed.
TEST(ConfigJson, FailedSaveLeavesTheOldFileWhole) {
    TempDir dir;
    const std::string good = R"({"port": "COM2"})";
    const std::string path = dir.File("setup.json", good);
    ::chmod(path.c_str(), 0640);
    const std::string link = dir.Path("link.json");
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
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path("")), {}), 2);

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
TEST(ConfigJson, SaveTargetsOtherThanARegularFileAreRefused) {
    TempDir dir;
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string toDevice = dir.Path("mynull");
    std::filesystem::create_symlink("/dev/null", toDevice);
    const std::string protectedFile = dir.File("protected.json", "{}");
    ::chmod(protectedFile.c_str(), 0444);
    std::filesystem::create_directory(dir.Path("folder"));
    struct Row {
        std::string path;
        std::string said;
    };
    const std::vector<Row> rows{
        {fifo, "is a pipe, not a regular file"},
        {toDevice, "is a device, not a regular file"},
        {"/dev/null", "is a device, not a regular file"},
        {"/dev/stdout", "names a stream this program has open"},
        {dir.Path("folder"), "is a folder, not a regular file"},
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
    SaveSetupFile(dir.Path("new.json"), SetupProfile{});
    EXPECT_NE(ReadFile(dir.Path("new.json")).find("\"port\""), std::string::npos);
}

TEST(ConfigJson, BadFilesAreRefusedNamingTheFileAndTheKey) {
    TempDir dir;
    struct Case {
        std::string content;
        std::string mustContain;
    };
    const std::vector<Case> cases{
        {R"({"baudrate": 9600})", "unknown key \"baudrate\""},
        {R"({"baud": 9600000})", "\"baud\""},
        {R"({"baud": 9600.5})", "\"baud\" must be a text or a whole number"},
        {R"({"ip": [192,168,1,1]})", "\"ip\" must be"},
        {R"({"master": "yes"})", "\"master\" must be true or false"},
        {R"({"mask": "255.255.255.1"})", std::string(kSubnetMaskMessage)},
        {R"({"parity": "mark"})", "none, odd, even"},
        {R"({"port": null})", "\"port\" must be"},
        {R"([1, 2])", "expected a JSON object"},
        {R"({"ip": "10.0.0.1",)", "not valid JSON"},
        {R"({"baud": 9600, "baud": 19200})", "the key \"baud\" is given twice"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.File("bad.json", c.content);
        const std::string message = LoadError(path);
        EXPECT_NE(message.find(c.mustContain), std::string::npos) << c.content << "\n" << message;
        EXPECT_NE(message.find(path), std::string::npos) << message;
    }
    // A key of the right kind but null clears only the gateway.
    const std::string path = dir.File("gw.json", R"({"gateway": null})");
    EXPECT_EQ(LoadError(path), "");
}

// Files made to hurt: each is refused with exit-code-2 class errors (ValueError) naming the
// file, the cause and the key where one is known, and no message echoes more than a short
// prefix of any value.
TEST(ConfigJson, HostileFilesAreRefusedWithShortMessages) {
    TempDir dir;
    const std::string deep = std::string(70000, '[') + std::string(70000, ']');
    const std::string longPort(2000, 'p');
    struct Case {
        std::string content;
        std::string mustContain;
    };
    const std::vector<Case> cases{
        {R"({"ip": )" + deep + "}", "nested more than 8 levels deep"},
        {R"({"a": {"b": [[[[[[[[1]]]]]]]]}})", "flat object (at \"b\")"},
        {R"({"baud": 1e999})", "\"baud\": \"1e999\" is out of range"},
        {std::string(R"({"baud": 19200})") + '\0' + " NOT JSON {{",
         "holds a NUL byte at offset 15"},
        {R"({"mask": -1e999})", "\"mask\": \"-1e999\" is out of range"},
        {R"({"local_port": 18446744073709551615})", "\"18446744073709551615\" is not accepted"},
        {R"({"local_port": -9223372036854775808})", "\"-9223372036854775808\" is not accepted"},
        {R"({"local_port": 18446744073709551616})", "\"18446744073709551616\" is not accepted"},
        {R"({"ip": [1, -100000000000000000000000, 3, 4]})", "-100000000000000000000000"},
        {R"({"baud": 1e300})", "\"baud\" must be a text or a whole number"},
        {R"({"port": ")" + std::string(2 * kMaxConfigFileBytes, 'x') + "\"}", "larger than"},
        {R"({"port": ")" + longPort + "\"}", "(2000 characters) is longer than 255"},
        {R"({"port": "/dev/ttyS0\u0000x"})", "\"/dev/ttyS0\\x00x\" holds a control character"},
        {R"({"port": "COM1\nDownload complete"})", "\"COM1\\nDownload complete\" holds a"},
        {R"({"ip": ")" + longPort + "\"}", "\"ip\": \"pppp"},
        {R"({")" + longPort + R"(": 1})", "unknown key \"pppp"},
        {R"({"ip": [")" + longPort + "\"]}", "\"ip\" must be"},
        {"{\"port\": \"\xff\"}", "not valid JSON"},
        {R"({"ip": "10.0.0.1",)", "not valid JSON (parse error at line 1, column 19"},
        {R"({"port": ")" + longPort + "\n\"}", "last read: \"\"pppp"},
        // The bad token itself holds the library's "'; expected " and control characters.
        {R"([{"p'; expected >>p(")" + std::string(200, '\t') + " g}]", "last read: \"\"p'; expect"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.File("hostile.json", c.content);
        const std::string message = LoadError(path);
        EXPECT_NE(message.find(c.mustContain), std::string::npos) << c.content.substr(0, 80) << "\n"
                                                                  << message;
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_LT(message.size(), path.size() + 300) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_TRUE(std::none_of(message.begin(), message.end(), [](char ch) {
            return static_cast<unsigned char>(ch) < 0x20;
        })) << message;
    }
    // A folder is said to be one, a named pipe nobody writes to reads as empty (no hang), and
    // the same limits hold for a batch file.
    EXPECT_NE(LoadError(dir.Path("")).find("is a directory"), std::string::npos);
    ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0600), 0);
    EXPECT_NE(LoadError(dir.Path("pipe")).find("not valid JSON"), std::string::npos);
    try {
        LoadBatchFile(dir.File("b.json", R"([{"port": "/dev/a", "baud": 1e999}])"));
        ADD_FAILURE() << "a batch with 1e999 was accepted";
    } catch (const ValueError& error) {
        EXPECT_NE(std::string(error.what()).find("\"baud\": \"1e999\" is out of range"),
                  std::string::npos)
            << error.what();
    }
    // The command line gets the same port name checks.
    const auto parsed = Parse({"download", "--port", "COM1\x1b[2J"});
    EXPECT_EQ(parsed.exitCode, kExitBadArguments);
    EXPECT_NE(parsed.err.find("--port: \"COM1\\x1b[2J\" holds a control"), std::string::npos)
        << parsed.err;
}

TEST(ConfigJson, BatchFileNeedsDistinctPortsInEveryEntry) {
    TempDir dir;
    const auto good = LoadBatchFile(dir.File("b.json", R"([{"port": "/dev/a", "ip": "10.0.0.2"},
                      {"port": "/dev/b", "mode": "point-to-point", "peer": "10.0.0.2"}])"));
    ASSERT_EQ(good.size(), 2u);
    EXPECT_EQ(good[0].ip, (Ipv4{10, 0, 0, 2}));
    EXPECT_EQ(good[1].mode, Mode::PointToPoint);
    EXPECT_EQ(good[1].ip, (Ipv4{192, 168, 1, 200})); // each entry starts from the defaults
    EXPECT_EQ(LoadBatchFile(dir.File("o.json", R"({"downloads": [{"port": "/dev/a"}]})")).size(),
              1u);
    // Two names of one device (a link, another node with the same device numbers) are one.
    const std::string link = dir.Path("converter-link");
    std::filesystem::create_symlink("/dev/null", link);

    struct Case {
        std::string content;
        std::string mustContain;
    };
    const std::vector<Case> cases{
        {R"([{"port": "/dev/a"}, {"ip": "10.0.0.3"}])", "download 2: \"port\" is required"},
        {R"([{"port": "/dev/a"}, {"port": "/dev/a"}])", "already used by download 1"},
        {R"([{"port": "/dev/null"}, {"port": ")" + link + R"("}])",
         "download 2: port \"" + link +
             "\" is already used by download 1 "
             "(port \"/dev/null\")"},
        {R"([{"port": "/dev/null"}, {"port": "/dev/../dev/null"}])", "already used by download 1"},
        {R"([])", "non-empty JSON array"},
        {R"({"port": "/dev/a"})", "non-empty JSON array"},
        {R"([{"port": "/dev/a", "master": true}])", "download 1: master"},
        {R"([{"port": "/dev/a"}, {"port": "/dev/b", "flow": "rts"}])", "download 2: \"flow\""},
    };
    for (const auto& c : cases) {
        try {
            LoadBatchFile(dir.File("bad.json", c.content));
            ADD_FAILURE() << "accepted: " << c.content;
        } catch (const ValueError& error) {
            EXPECT_NE(std::string(error.what()).find(c.mustContain), std::string::npos)
                << c.content << "\n"
                << error.what();
        }
    }
}

TEST(CommandLine, DryRunSavesTheConfigurationItListed) {
    TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
    const std::string saved = dir.Path("saved.json");
    EXPECT_EQ(RunCommandLine({"dry-run", "--firmware", "V6.5.0.7", "--mode", "point-to-point",
                              "--peer", "10.9.8.7", "--save-config", saved},
                             out, err),
              kExitComplete)
        << err.str();
    EXPECT_NE(out.str().find("firmware V6.5.0.7"), std::string::npos);
    EXPECT_NE(out.str().find("Total: "), std::string::npos);
    SetupProfile loaded;
    LoadSetupFile(saved, loaded);
    EXPECT_EQ(loaded.mode, Mode::PointToPoint);
    EXPECT_EQ(loaded.peer, (Ipv4{10, 9, 8, 7}));

    std::ostringstream none;
    std::ostringstream why;
    EXPECT_EQ(RunCommandLine({"dry-run", "--firmware", "01.8", "--save-config",
                              dir.Path("missing/dir/x.json")},
                             none, why),
              kExitBadArguments);
    EXPECT_NE(why.str().find("--save-config"), std::string::npos) << why.str();
    EXPECT_EQ(none.str(), ""); // nothing listed when the values could not be saved
}

TEST(CommandLine, ListPortsShowsWhereEachComNameLeads) {
    TempDir dir;
    const std::string device = dir.File("converter", "");
    ::setenv("COMSETUP_COM7", device.c_str(), 1);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCommandLine({"list-ports"}, out, err), kExitComplete);
    ::unsetenv("COMSETUP_COM7");
    EXPECT_NE(out.str().find("COM7 -> " + device +
                             "  not a character device  (set by "
                             "COMSETUP_COM7)"),
              std::string::npos)
        << out.str();
    // All nine names are listed, each with its device.
    std::size_t arrows = 0;
    for (std::size_t at = out.str().find(" -> "); at != std::string::npos;
         at = out.str().find(" -> ", at + 1)) {
        ++arrows;
    }
    EXPECT_EQ(arrows, 9u) << out.str();
}
