// The command line of comsetup-cli: values from defaults, then --config, then options;
// refusals name the option and list what is accepted; commands that save and list.
#include "cli/arguments.h"
#include "cli/command_runner.h"
#include "cli/exit_codes.h"
#include "cli/profile.h"
#include "tests/support/child_process.h"
#include "tests/support/full_disk.h"

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
using comsetup::test::TempFolder;

namespace {

ParsedCommandLine Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
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

// The LAN check is off unless asked for, and each command that downloads takes it.
TEST(Arguments, LanCheckIsOffUnlessAskedFor) {
    struct Case {
        std::vector<std::string> args;
        bool on, strict;
        int waitSeconds;
    };
    const std::vector<Case> cases{
        {{"download"}, false, false, 30},
        {{"download", "--lan-check"}, true, false, 30},
        {{"download", "--lan-check=strict", "--lan-wait", "5"}, true, true, 5},
        {{"download", "--lan-check=off"}, false, false, 30},
        {{"batch", "b.json", "--lan-check=on"}, true, false, 30},
        {{"sequence", "--plan", "p.csv", "--port", "COM3", "--lan-check=strict"}, true, true, 30},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        ASSERT_TRUE(parsed.arguments) << c.args[0] << ": " << parsed.err;
        EXPECT_EQ(parsed.arguments->lan.on, c.on) << c.args.back();
        EXPECT_EQ(parsed.arguments->lan.strict, c.strict) << c.args.back();
        EXPECT_EQ(parsed.arguments->lan.wait, std::chrono::seconds(c.waitSeconds));
    }
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
        {{"download", "--lan-check=loose"}, "on, strict, off"},
        {{"download", "--lan-check", "--lan-wait", "0"}, "--lan-wait: \"0\""},
        {{"download", "--lan-check", "--lan-wait", "2m"}, "whole seconds from 1 to 3600"},
        {{"download", "--lan-wait", "5"}, "--lan-wait needs --lan-check"},
        // The port name checks of the configuration files.
        {{"download", "--port", "COM1\x1b[2J"}, "--port: \"COM1\\x1b[2J\" holds a control"},
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
    TempFolder dir;
    const std::string config = dir.Write(
        "c.json", R"({"port": "COM4", "baud": 19200, "parity": "odd", "ip": "10.1.1.1"})");
    const auto parsed = Parse({"download", "--config", config, "--baud", "38400"});
    ASSERT_TRUE(parsed.arguments) << parsed.err;
    EXPECT_EQ(parsed.arguments->setup.port, "COM4");
    EXPECT_EQ(parsed.arguments->setup.baud, 38400);
    EXPECT_EQ(parsed.arguments->setup.parityIndex, 1);
    EXPECT_EQ(parsed.arguments->setup.ip, (Ipv4{10, 1, 1, 1}));

    const auto missing = Parse({"download", "--config", dir.File("none.json")});
    EXPECT_EQ(missing.exitCode, kExitBadArguments);
    EXPECT_NE(missing.err.find("none.json"), std::string::npos) << missing.err;
}

TEST(CommandLine, DryRunSavesTheConfigurationItListed) {
    TempFolder dir;
    std::ostringstream out;
    std::ostringstream err;
    const std::string saved = dir.File("saved.json");
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
                              dir.File("missing/dir/x.json")},
                             none, why),
              kExitBadArguments);
    EXPECT_NE(why.str().find("--save-config"), std::string::npos) << why.str();
    EXPECT_EQ(none.str(), ""); // nothing listed when the values could not be saved
}

TEST(CommandLine, ListPortsShowsWhereEachComNameLeads) {
    TempFolder dir;
    const std::string device = dir.Write("converter", "");
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
