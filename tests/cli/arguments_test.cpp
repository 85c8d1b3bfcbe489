// The command line of comsetup-cli: values from defaults, then --config, then options;
// refusals name the option and list what is accepted; commands that save and list.
#include "cli/arguments.h"
#include "cli/command_runner.h"
#include "cli/exit_codes.h"
#include "cli/profile.h"
#include "tests/support/child_process.h"
#include "tests/support/full_disk.h"
#include "tests/support/value_rule_rows.h"

#include "config/journal_query.h"
#include "download/setup_rules.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
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
// Parsing only: no download runs and nothing is sent. The check's probes run only inside
// network namespaces the tests make with `unshare --net` (tests/support/lan_namespaces.cpp,
// used by tests/lan/lan_namespace_test.cpp and tests/cli/lan_process_test.cpp).
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
        {{"download", "--remote-port", "0"}, "--remote-port: 0 is not a TCP port number"},
        {{"download", "--remote-port", "1e3"}, "--remote-port: \"1e3\""},
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

// The one value rule through each command that takes setup values: the options of download
// and dry-run, a batch file and a sequence's plan. A refused row sends nothing (exit 2) with
// the rule's words; an accepted one is listed, with the rule's warning.
TEST(CommandLine, EveryCommandAppliesTheOneValueRule) {
    TempFolder dir;
    for (const test::ValueRuleRow& row : test::ValueRuleRows()) {
        SCOPED_TRACE(row.what);
        std::vector<std::string> options;
        nlohmann::json entry{{"port", "COM1"}};
        std::string header, cells; // a plan's rows take the sequence's --port
        for (const auto& [key, text] : row.values) {
            std::string option = "--" + key;
            std::replace(option.begin(), option.end(), '_', '-');
            options.push_back(option);
            if (key != "master") {
                options.push_back(text);
            }
            entry[key] = key == "master" ? nlohmann::json(true) : nlohmann::json(text);
            header += (header.empty() ? "" : ",") + key;
            cells += (cells.empty() ? "" : ",") + text;
        }
        const auto with = [&](std::vector<std::string> command) {
            command.insert(command.end(), options.begin(), options.end());
            return command;
        };
        const auto download = Parse(with({"download", "--port", "COM1"}));
        std::ostringstream listing, dryRunErr;
        const int dryRun =
            RunCommandLine(with({"dry-run", "--firmware", "01.8"}), listing, dryRunErr);
        if (row.refusal == nullptr) {
            EXPECT_TRUE(download.arguments) << download.err;
            EXPECT_EQ(dryRun, kExitComplete) << dryRunErr.str();
            if (row.warning != nullptr) {
                EXPECT_NE(dryRunErr.str().find(std::string("warning: ") + row.warning),
                          std::string::npos)
                    << dryRunErr.str();
            }
            continue;
        }
        EXPECT_EQ(download.exitCode, kExitBadArguments);
        EXPECT_NE(download.err.find(row.refusal), std::string::npos) << download.err;
        EXPECT_EQ(dryRun, kExitBadArguments);
        EXPECT_NE(dryRunErr.str().find(row.refusal), std::string::npos) << dryRunErr.str();
        EXPECT_EQ(listing.str(), "");

        const std::string batch = dir.Write("batch.json", nlohmann::json::array({entry}).dump());
        const std::string plan = dir.Write("plan.csv", header + "\n" + cells + "\n");
        for (const auto& command : {std::vector<std::string>{"batch", batch, "--no-journal"},
                                    std::vector<std::string>{"sequence", "--plan", plan, "--port",
                                                             "COM1", "--no-journal"}}) {
            std::ostringstream out, err;
            EXPECT_EQ(RunCommandLine(command, out, err), kExitBadArguments) << command[0];
            EXPECT_NE(err.str().find(row.refusal), std::string::npos)
                << command[0] << ": " << err.str();
        }
    }
}

// The journal's filters take what they say and refuse the rest in one sentence naming the
// option (exit 2, nothing read): dates in ISO form and local time, outcomes from the one
// table, addresses as downloads read them, row counts and download numbers as whole numbers.
TEST(CommandLine, JournalFiltersMeanWhatTheySay) {
    const char* const zone = std::getenv("TZ");
    const std::string kept = zone != nullptr ? zone : "";
    ::setenv("TZ", "CET-1", 1); // one hour east of UTC, no summer time
    ::tzset();
    struct Row {
        std::vector<std::string> args;
        const char* refusal; // nullptr: accepted
        std::string since = "", ip = "", outcome = "";
    };
    const Row rows[] = {
        {{"--since", "2026-12-07"}, nullptr, "2026-12-06T23:00:00Z"},
        {{"--since", "2026-12-07T10:00"}, nullptr, "2026-12-07T09:00:00Z"},
        {{"--since", "2026-12-07 10:00:30"}, nullptr, "2026-12-07T09:00:30Z"},
        {{"--since", "2026-13-45"}, "journal --since: \"2026-13-45\" is not accepted"},
        {{"--since", "2026-02-30"}, "journal --since: \"2026-02-30\" is not accepted"},
        {{"--since", "garbage"}, "journal --since: \"garbage\" is not accepted"},
        {{"--since", "12/31/2026"}, "journal --since: \"12/31/2026\" is not accepted"},
        {{"--ip", "192.168.001.077"}, nullptr, "", "192.168.1.77"},
        {{"--ip", "300.1.1.1"}, "journal --ip: \"300.1.1.1\" is not accepted"},
        {{"--verdict", "terminated"}, nullptr, "", "", "terminated"},
        {{"--verdict", "Unfinished"}, nullptr, "", "", "unfinished"},
        {{"--verdict", "not-on-lan"}, nullptr, "", "", "not-on-lan"}, // --lan-check=strict
        {{"--verdict", "did-not-finish"},
         "journal --verdict: \"did-not-finish\" is not an outcome; accepted values: complete, "
         "error-on-setup, port-error, no-answer, cancelled, firmware-unknown, log-incomplete, "
         "terminated, interrupted, internal-error, not-on-lan, unfinished"},
        {{"--limit", "-1"}, "journal --limit: \"-1\" is not a number of rows"},
        {{"--limit", "1e308"}, "journal --limit: \"1e308\" is not a number of rows"},
        {{"show", "0"}, "journal show: \"0\" is not a download's number"},
        {{"show", "abc"}, "journal show: \"abc\" is not a download's number"},
        {{"show", std::string(330, '9')}, "journal show: \"999"},
    };
    for (const Row& r : rows) {
        std::vector<std::string> args{"journal"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        SCOPED_TRACE(r.args.back());
        const auto parsed = Parse(args);
        if (r.refusal == nullptr) {
            ASSERT_TRUE(parsed.arguments) << parsed.err;
            EXPECT_EQ(parsed.arguments->since, r.since);
            EXPECT_EQ(parsed.arguments->ip, r.ip);
            EXPECT_EQ(parsed.arguments->outcome, r.outcome);
            continue;
        }
        EXPECT_EQ(parsed.exitCode, kExitBadArguments);
        EXPECT_NE(parsed.err.find(r.refusal), std::string::npos) << parsed.err;
        EXPECT_EQ(std::count(parsed.err.begin(), parsed.err.end(), '\n'), 1) << parsed.err;
        EXPECT_LT(parsed.err.size(), 300u) << parsed.err;
    }
    if (zone != nullptr) {
        ::setenv("TZ", kept.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();

    // Every way a download ends is an outcome the filter and its help know.
    const std::string help = Parse({"journal", "--help"}).out;
    for (const int code : {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 130}) {
        const std::string name = ExitCodeName(code);
        const auto& outcomes = config::JournalOutcomes();
        EXPECT_NE(std::find(outcomes.begin(), outcomes.end(), name), outcomes.end()) << name;
        EXPECT_NE(help.find(name), std::string::npos) << name;
    }
}

// A journal named with --journal is not given a folder of its own; with no place for the
// journal at all, the commands that record say once that nothing is recorded, and why.
TEST(CommandLine, JournalPlacesAreNamedNotMadeUp) {
    TempFolder dir;
    const std::string plan = dir.Write("plan.csv", "ip\n192.168.1.0\n"); // refused: sends nothing
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine(
                  {"download", "--port", "COM1", "--journal", dir.File("missing/journal.sqlite")},
                  out, err),
              kExitBadArguments);
    EXPECT_NE(err.str().find("--journal: " + dir.File("missing/journal.sqlite") + ": the folder " +
                             dir.File("missing") + " does not exist"),
              std::string::npos)
        << err.str();
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));

    std::map<std::string, std::string> kept;
    for (const char* name : {"HOME", "XDG_DATA_HOME", "COMSETUP_JOURNAL"}) {
        if (const char* value = std::getenv(name)) {
            kept[name] = value;
        }
        ::unsetenv(name);
    }
    std::ostringstream none, said;
    EXPECT_EQ(RunCommandLine({"sequence", "--plan", plan, "--port", "COM1"}, none, said),
              kExitBadArguments);
    for (const auto& [name, value] : kept) {
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    const std::string text = said.str();
    const std::string notice = "no place for the journal is known (set HOME, XDG_DATA_HOME or "
                               "COMSETUP_JOURNAL, or give --journal FILE): nothing is recorded";
    EXPECT_NE(text.find(notice), std::string::npos) << text;
    EXPECT_EQ(text.find(notice), text.rfind(notice)) << text;
}
