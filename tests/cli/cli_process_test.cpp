// comsetup-cli as a technician runs it, against comsetup-sim on pseudo-terminals: the exit
// code and verdict of each outcome, a batch of three converters with one failing, and Ctrl+C
// (first as Cancel, second ending at once). Downloads of one test run side by side, each
// against its own stand-in, so the suite takes about the time of one download.
#include "child_process.h"

#include "cli/batch.h"
#include "cli/exit_codes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <pty.h>
#include <unistd.h>

using namespace comsetup::cli;
using comsetup::test::ChildProcess;
using comsetup::test::ReadFile;
using comsetup::test::TempFolder;
using namespace std::chrono_literals;

namespace {

constexpr auto kDownloadLimit = 120s; // far above a download's ~30 s, even under sanitizers

// A converter stand-in on its own pty, reachable through a symlink in folder.
struct StandIn {
    StandIn(const TempFolder& folder, const std::string& name, const std::string& firmware,
            const std::string& fail = "healthy")
        : link(folder.File(name)), json(folder.File(name + ".json")),
          process({COMSETUP_SIM_PATH, "--firmware", firmware, "--fail", fail, "--link", link,
                   "--off-time", "300", "--restart-time", "1000", "--json", json, "--quiet"}) {
        ready = !process.FirstLine(20s).empty() && std::filesystem::exists(link);
    }
    // The first session the stand-in saw (written when it ended).
    nlohmann::json Session() const {
        const std::string text = ReadFile(json);
        if (text.empty()) {
            return {};
        }
        const auto doc = nlohmann::json::parse(text, nullptr, false);
        return doc.is_object() && !doc["sessions"].empty() ? doc["sessions"][0] : nlohmann::json{};
    }
    std::string link;
    std::string json;
    ChildProcess process;
    bool ready = false;
};

std::vector<std::string> Cli(std::vector<std::string> args) {
    args.insert(args.begin(), COMSETUP_CLI_PATH);
    return args;
}

} // namespace

TEST(CliProcess, EachOutcomeHasItsExitCodeAndVerdict) {
    TempFolder folder;
    struct Scenario {
        std::string name;
        std::string firmware;
        std::string fail; // empty: no stand-in, the port does not exist
        std::vector<std::string> options;
        int exitCode;
        std::string verdict;
    };
    const std::vector<Scenario> scenarios{
        {"complete",
         "01.8",
         "healthy",
         {"--mode", "point-to-point", "--peer", "10.0.0.9"},
         kExitComplete,
         "Setup Complete"},
        {"master",
         "V6.5.0.7",
         "healthy",
         {"--mode", "point-to-multipoint", "--master", "--ip", "10.0.0.5", "--mask", "255.255.0.0",
          "--gateway", "10.0.0.1", "--flow", "cts-rts"},
         kExitComplete,
         "Setup Complete"},
        {"no-exit-without", "01.8", "no-exit-without", {}, kExitErrorOnSetup, "ERROR ON SETUP"},
        {"no-answer", "01.8", "none", {}, kExitNoAnswer, "IMPOSSIBLE TO COMPLETE THE SETUP"},
        {"short", "V6.5.0.7", "short", {}, kExitNoAnswer, "IMPOSSIBLE TO COMPLETE THE SETUP"},
        {"unknown-firmware",
         "01.8",
         "unknown-firmware",
         {},
         kExitFirmwareUnknown,
         "Hardware version not found"},
        {"port-error", "", "", {}, kExitPortError, "Impossible to complete the Setup"},
        // The converter saved the settings but never restarted: the records reached nobody.
        {"no-restart", "V6.5.0.7", "no-restart", {}, kExitErrorOnSetup, "ERROR ON SETUP"},
    };
    std::vector<std::unique_ptr<StandIn>> standIns;
    std::vector<std::unique_ptr<ChildProcess>> clis;
    for (const auto& s : scenarios) {
        std::string port = folder.File("missing-device");
        if (!s.fail.empty()) {
            standIns.push_back(std::make_unique<StandIn>(folder, s.name, s.firmware, s.fail));
            ASSERT_TRUE(standIns.back()->ready) << s.name;
            port = standIns.back()->link;
        } else {
            standIns.push_back(nullptr);
        }
        std::vector<std::string> args{"download", "--port", port,
                                      "--plain",  "--log",  folder.File(s.name + ".log")};
        args.insert(args.end(), s.options.begin(), s.options.end());
        clis.push_back(std::make_unique<ChildProcess>(Cli(args)));
    }
    for (std::size_t i = 0; i < scenarios.size(); ++i) {
        const auto& s = scenarios[i];
        EXPECT_EQ(clis[i]->Wait(kDownloadLimit), s.exitCode) << s.name << "\n" << clis[i]->Err();
        const std::string out = clis[i]->Out();
        EXPECT_NE(out.find("\n" + s.verdict), std::string::npos) << s.name << "\n" << out;
        // The verdict is the last progress line.
        EXPECT_EQ(out.rfind(s.verdict), out.rfind('\n', out.size() - 2) + 1) << s.name;
    }

    // Port error: the message names the port.
    EXPECT_NE(clis[6]->Out().find("Error: Error opening serial port :" +
                                  folder.File("missing-device") + " - no such device\n"),
              std::string::npos)
        << clis[6]->Out();
    EXPECT_NE(clis[6]->Err().find(folder.File("missing-device") + ": no such device"),
              std::string::npos)
        << clis[6]->Err();

    // A failing verdict names its cause, as the log's last line and on standard error. Which
    // cause depends on what arrived in time (a loaded machine can delay the stand-in's answer
    // past the echo after "9"); the virtual-time driver tests pin each one.
    for (std::size_t i : {std::size_t{2}, std::size_t{7}}) {
        const std::string log = ReadFile(folder.File(scenarios[i].name + ".log"));
        ASSERT_GE(log.size(), 2u) << scenarios[i].name;
        const std::string cause =
            log.substr(log.rfind('\n', log.size() - 2) + 1, std::string::npos);
        EXPECT_TRUE(cause == "no answer after the restart\n" || cause.starts_with("the converter "))
            << scenarios[i].name << ": " << cause;
        EXPECT_NE(clis[i]->Err().find(": " + cause), std::string::npos) << clis[i]->Err();
    }

    // The values reached the converter as the wizard would have mapped them.
    standIns[0]->process.Signal(SIGTERM);
    standIns[1]->process.Signal(SIGTERM);
    standIns[0]->process.Wait(10s);
    standIns[1]->process.Wait(10s);
    const auto p2p = standIns[0]->Session();
    ASSERT_TRUE(p2p.is_object()) << ReadFile(standIns[0]->json);
    EXPECT_EQ(p2p["config"]["tunnel"], true);
    EXPECT_EQ(p2p["config"]["remote"], "10.0.0.9");
    const auto master = standIns[1]->Session();
    ASSERT_TRUE(master.is_object()) << ReadFile(standIns[1]->json);
    EXPECT_EQ(master["config"]["ip"], "10.0.0.5");
    EXPECT_EQ(master["config"]["host_bits"], 16);
    EXPECT_EQ(master["config"]["use_gateway"], true);
    EXPECT_EQ(master["config"]["gateway"], "10.0.0.1");
    EXPECT_EQ(master["config"]["broadcast"], true);
    EXPECT_EQ(master["config"]["flow_code"], "02");
    EXPECT_EQ(master["config"]["record"], "A");

    // The monitor log file holds the converter's lines, the closing one included.
    const std::string log = ReadFile(folder.File("complete.log"));
    EXPECT_NE(log.find("Exit without"), std::string::npos) << log;
    EXPECT_EQ(ReadFile(folder.File("no-answer.log")), "");
}

TEST(CliProcess, VanishingLineEndsWithErrorOnSetupAndTheCause) {
    TempFolder folder;
    StandIn standIn(folder, "vanish", "01.8", "vanish");
    ASSERT_TRUE(standIn.ready);
    ChildProcess cli(Cli({"download", "--port", standIn.link, "--json"}));
    EXPECT_EQ(cli.Wait(kDownloadLimit), kExitErrorOnSetup) << cli.Err();
    const auto result = nlohmann::json::parse(cli.Out(), nullptr, false);
    ASSERT_TRUE(result.is_object()) << cli.Out();
    EXPECT_EQ(result["outcome"], "error-on-setup");
    EXPECT_EQ(result["verdict"], "ERROR ON SETUP");
    EXPECT_TRUE(result["message"].is_null()) << result;
    // The serial component's own text, with its error code.
    ASSERT_TRUE(result["error"].is_string());
    EXPECT_NE(result["error"].get<std::string>().find("(Error: "), std::string::npos) << result;
    EXPECT_NE(cli.Err().find(result["error"].get<std::string>()), std::string::npos);
    EXPECT_EQ(result["cause"], "the device went away: unplugged adapter?") << result;
}

// --port auto: three stand-ins as COM1..COM3, of which only the second answers; COM4..COM9
// name no device. The setup reaches the one that answered, the others got only the polling.
TEST(CliProcess, PortAutoFindsTheOneConverterThatAnswers) {
    TempFolder folder;
    StandIn silentBefore(folder, "silent1", "01.8", "none");
    StandIn answering(folder, "answering", "01.8");
    StandIn silentAfter(folder, "silent3", "01.8", "none");
    ASSERT_TRUE(silentBefore.ready && answering.ready && silentAfter.ready);
    std::vector<std::string> env{"COMSETUP_COM1=" + silentBefore.link,
                                 "COMSETUP_COM2=" + answering.link,
                                 "COMSETUP_COM3=" + silentAfter.link};
    for (int n = 4; n <= 9; ++n) {
        env.push_back("COMSETUP_COM" + std::to_string(n) + "=" + folder.File("absent"));
    }
    const std::string log = folder.File("monitor.log");
    ChildProcess cli(
        Cli({"download", "--port", "auto", "--ip", "10.9.0.7", "--json", "--log", log}), env);
    ASSERT_EQ(cli.Wait(kDownloadLimit), kExitComplete) << cli.Err();
    const auto result = nlohmann::json::parse(cli.Out(), nullptr, false);
    ASSERT_TRUE(result.is_object()) << cli.Out();
    EXPECT_EQ(result["found_port"], "COM2");
    EXPECT_EQ(result["device"], answering.link);
    const std::string lines = ReadFile(log);
    EXPECT_NE(lines.find("Auto: COM4 skipped: "), std::string::npos) << lines;
    EXPECT_NE(lines.find("Auto: searching COM1, COM2, COM3"), std::string::npos) << lines;
    EXPECT_NE(lines.find("Auto: converter found on COM2"), std::string::npos) << lines;
    for (auto* standIn : {&silentBefore, &answering, &silentAfter}) {
        standIn->process.Signal(SIGTERM);
        standIn->process.Wait(10s);
    }
    EXPECT_EQ(answering.Session()["config"]["ip"], "10.9.0.7");
    for (auto* silent : {&silentBefore, &silentAfter}) {
        const auto session = silent->Session();
        ASSERT_TRUE(session.is_object());
        ASSERT_FALSE(session["received"].empty());
        for (const auto& received : session["received"]) {
            EXPECT_EQ(received["byte"], static_cast<int>('x'));
        }
    }
}

TEST(CliProcess, BadArgumentsSendNothing) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"download", "--port", name, "--mask", "255.255.255.1"},
          std::vector<std::string>{"download", "--port", name, "--baud", "12345"},
          std::vector<std::string>{"download", "--port", name, "--mode", "point-to-point",
                                   "--master"}}) {
        ChildProcess cli(Cli(args));
        EXPECT_EQ(cli.Wait(30s), kExitBadArguments) << args.back() << cli.Err();
        EXPECT_NE(cli.Err().find("--"), std::string::npos) << cli.Err();
    }
    // Nothing arrived on the line (the reading side would hold it until read).
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    char byte = 0;
    EXPECT_LE(::read(master, &byte, 1), 0);
    ::close(master);
}

TEST(CliProcess, BatchRunsEveryConverterAndReportsTheFailingOne) {
    TempFolder folder;
    StandIn first(folder, "rack1", "01.8");
    StandIn failing(folder, "rack2", "V6.5.0.7", "no-exit-without");
    StandIn third(folder, "rack3", "V6.5.0.7");
    ASSERT_TRUE(first.ready && failing.ready && third.ready);
    const std::string batch = folder.File("batch.json");
    std::ofstream(batch) << nlohmann::json::array({{{"port", first.link}, {"ip", "10.1.0.1"}},
                                                   {{"port", failing.link}, {"ip", "10.1.0.2"}},
                                                   {{"port", third.link},
                                                    {"ip", "10.1.0.3"},
                                                    {"mode", "point-to-point"},
                                                    {"peer", "10.1.0.1"}}})
                                .dump();
    std::filesystem::create_directory(folder.File("logs"));
    ChildProcess cli(Cli({"batch", batch, "--json", "--log-dir", folder.File("logs")}));
    // The first download in the file's order that did not complete gives the exit code.
    EXPECT_EQ(cli.Wait(kDownloadLimit), kExitErrorOnSetup) << cli.Err();
    const auto results = nlohmann::json::parse(cli.Out(), nullptr, false);
    ASSERT_TRUE(results.is_array()) << cli.Out();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0]["outcome"], "complete");
    EXPECT_EQ(results[1]["outcome"], "error-on-setup");
    EXPECT_EQ(results[1]["verdict"], "ERROR ON SETUP");
    EXPECT_EQ(results[2]["outcome"], "complete");
    EXPECT_EQ(results[2]["firmware"], "V6.5.0.7");
    // Progress lines carry their port.
    EXPECT_NE(cli.Err().find("[" + first.link + "] Setup Complete"), std::string::npos)
        << cli.Err();
    EXPECT_NE(cli.Err().find("[" + failing.link + "] ERROR ON SETUP"), std::string::npos);
    // Each converter got its own values.
    for (auto* standIn : {&first, &failing, &third}) {
        standIn->process.Signal(SIGTERM);
        standIn->process.Wait(10s);
    }
    EXPECT_EQ(first.Session()["config"]["ip"], "10.1.0.1");
    EXPECT_EQ(failing.Session()["config"]["ip"], "10.1.0.2");
    EXPECT_EQ(third.Session()["config"]["ip"], "10.1.0.3");
    EXPECT_EQ(third.Session()["config"]["remote"], "10.1.0.1");
    // One monitor log per download.
    const auto logs = std::distance(std::filesystem::directory_iterator(folder.File("logs")),
                                    std::filesystem::directory_iterator());
    EXPECT_EQ(logs, 3);
}

TEST(CliProcess, FirstCtrlCCancelsTheWakeUpWait) {
    TempFolder folder;
    StandIn silent(folder, "silent", "01.8", "none");
    ASSERT_TRUE(silent.ready);
    ChildProcess cli(Cli({"download", "--port", silent.link, "--plain"}));
    ASSERT_TRUE(cli.WaitForText("Check the connection", 30s)) << cli.Out() << cli.Err();
    cli.Signal(SIGINT);
    // Without the cancel the wait would run to its limit and end as "no answer".
    EXPECT_EQ(cli.Wait(kDownloadLimit), kExitCancelled) << cli.Err();
    EXPECT_NE(cli.Out().find("Setup cancel from user"), std::string::npos) << cli.Out();
    EXPECT_NE(cli.Err().find("Cancel requested"), std::string::npos) << cli.Err();
}

TEST(CliProcess, SecondCtrlCEndsAtOnceWhileTheScriptRuns) {
    TempFolder folder;
    StandIn standIn(folder, "busy", "01.8");
    ASSERT_TRUE(standIn.ready);
    ChildProcess cli(Cli({"download", "--port", standIn.link, "--plain"}));
    ASSERT_TRUE(cli.WaitForText("Setup in progress...", 60s)) << cli.Out() << cli.Err();
    cli.Signal(SIGINT);
    ASSERT_TRUE(cli.WaitForText("Cancel requested", 10s, true)) << cli.Err();
    // After the banner a Cancel does not stop the script: the download is still running.
    EXPECT_TRUE(cli.Running());
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(kDownloadLimit), kExitInterrupted) << cli.Err();
    EXPECT_NE(cli.Err().find("ended at once, port closed"), std::string::npos) << cli.Err();
    EXPECT_EQ(cli.Out().find("Setup Complete"), std::string::npos) << cli.Out();
    // The line is free again: it can be opened at once by the next program.
    const int fd = ::open(standIn.link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0) << std::strerror(errno);
    if (fd >= 0) {
        ::close(fd);
    }
}

TEST(CliProcess, FirstCtrlCCancelsEveryDownloadOfABatch) {
    TempFolder folder;
    StandIn left(folder, "left", "01.8", "none");
    StandIn right(folder, "right", "V6.5.0.7", "none");
    ASSERT_TRUE(left.ready && right.ready);
    const std::string batch = folder.File("batch.json");
    std::ofstream(batch)
        << nlohmann::json::array({{{"port", left.link}}, {{"port", right.link}}}).dump();
    ChildProcess cli(Cli({"batch", batch, "--json"}));
    ASSERT_TRUE(cli.WaitForText("[" + right.link + "] Check the connection", 30s, true))
        << cli.Err();
    ASSERT_TRUE(cli.WaitForText("[" + left.link + "] Check the connection", 30s, true))
        << cli.Err();
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(kDownloadLimit), kExitCancelled) << cli.Err();
    const auto results = nlohmann::json::parse(cli.Out(), nullptr, false);
    ASSERT_TRUE(results.is_array()) << cli.Out();
    ASSERT_EQ(results.size(), 2u);
    for (const auto& result : results) {
        EXPECT_EQ(result["outcome"], "cancelled") << result;
        EXPECT_EQ(result["verdict"], "Setup cancel from user") << result;
    }
}

// SIGTERM and SIGHUP while downloads run: ended at once with the documented code, what
// ended said on standard error, the result object or batch table printed, the lines free.
TEST(CliProcess, TerminationSignalsEndAtOnceWithTheResults) {
    TempFolder folder;
    struct Case {
        std::string name;
        int signal;
        bool batch;
        bool json;
    };
    const std::vector<Case> cases{
        {"single", SIGTERM, false, true},
        {"batchjson", SIGHUP, true, true},
        {"batchtable", SIGTERM, true, false},
    };
    struct Run {
        std::unique_ptr<StandIn> standIn;
        std::unique_ptr<ChildProcess> cli;
    };
    std::vector<Run> runs;
    for (const auto& c : cases) {
        Run run;
        run.standIn = std::make_unique<StandIn>(folder, c.name, "01.8");
        ASSERT_TRUE(run.standIn->ready) << c.name;
        std::vector<std::string> args{"download", "--port", run.standIn->link, "--plain"};
        if (c.batch) {
            const std::string batch = folder.File(c.name + "-batch.json");
            std::ofstream(batch) << nlohmann::json::array({{{"port", run.standIn->link}}}).dump();
            args = {"batch", batch};
        }
        if (c.json) {
            args.push_back("--json");
        }
        run.cli = std::make_unique<ChildProcess>(Cli(args));
        runs.push_back(std::move(run));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        ChildProcess& cli = *runs[i].cli;
        ASSERT_TRUE(cli.WaitForText("Setup in progress...", 60s, c.json)) << c.name << cli.Err();
        cli.Signal(c.signal);
        EXPECT_EQ(cli.Wait(10s), kExitTerminated) << c.name << cli.Err();
        const std::string name = c.signal == SIGTERM ? "SIGTERM" : "SIGHUP";
        EXPECT_NE(cli.Err().find("terminated by " + name), std::string::npos) << cli.Err();
        if (c.json) {
            const auto parsed = nlohmann::json::parse(cli.Out(), nullptr, false);
            const auto result = c.batch && parsed.is_array() ? parsed[0] : parsed;
            EXPECT_EQ(result["outcome"], "terminated") << c.name << cli.Out();
            EXPECT_EQ(result["exit_code"], kExitTerminated) << c.name << cli.Out();
        } else {
            EXPECT_NE(cli.Out().find("terminated  8"), std::string::npos) << cli.Out();
            EXPECT_NE(cli.Out().find("0 of 1 downloads complete"), std::string::npos);
        }
        const int fd = ::open(runs[i].standIn->link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0) << c.name << std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

// Monitor logs that cannot be written (a full disk: /dev/full) are reported at the end on
// standard error and in the JSON; the exit code says so when the setup itself went in, and
// stays the download's own when it did not. A trace file that cannot be opened is said once.
TEST(CliProcess, OutputFilesThatCannotBeWrittenAreReported) {
    TempFolder folder;
    const std::string logDir = folder.File("logs");
    std::filesystem::create_directory(logDir);
    struct Case {
        std::string name;
        std::string fail;
        bool batch;
        int exitCode;
    };
    const std::vector<Case> cases{
        {"full", "healthy", false, kExitLogIncomplete},
        {"unknown", "unknown-firmware", false, kExitFirmwareUnknown},
        {"dir", "healthy", true, kExitLogIncomplete},
    };
    struct Run {
        std::unique_ptr<StandIn> standIn;
        std::unique_ptr<ChildProcess> cli;
    };
    std::vector<Run> runs;
    for (const auto& c : cases) {
        Run run;
        run.standIn = std::make_unique<StandIn>(folder, c.name, "01.8", c.fail);
        ASSERT_TRUE(run.standIn->ready) << c.name;
        std::vector<std::string> args{"download", "--port",    run.standIn->link,
                                      "--log",    "/dev/full", "--json"};
        if (c.batch) {
            const std::string batch = folder.File(c.name + "-batch.json");
            std::ofstream(batch) << nlohmann::json::array({{{"port", run.standIn->link}}}).dump();
            // The download's log file name leads to a full disk.
            std::filesystem::create_symlink("/dev/full",
                                            logDir + "/01-" + LogFileName(run.standIn->link));
            args = {"batch", batch, "--log-dir", logDir, "--json"};
        }
        run.cli = std::make_unique<ChildProcess>(
            Cli(args), std::vector<std::string>{"COMSETUP_TRACE=" + folder.File("no/trace")});
        runs.push_back(std::move(run));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        ChildProcess& cli = *runs[i].cli;
        EXPECT_EQ(cli.Wait(kDownloadLimit), c.exitCode) << c.name << cli.Err();
        EXPECT_NE(cli.Err().find("could not be written completely (No space left on device)"),
                  std::string::npos)
            << c.name << cli.Err();
        const auto parsed = nlohmann::json::parse(cli.Out(), nullptr, false);
        const auto result = c.batch && parsed.is_array() ? parsed[0] : parsed;
        EXPECT_TRUE(result["log_error"].is_string()) << c.name << cli.Out();
        const std::string err = cli.Err();
        const auto told = err.find("COMSETUP_TRACE");
        EXPECT_EQ(told == std::string::npos, c.batch) << c.name << err; // no trace in a batch
        if (told != std::string::npos) {
            EXPECT_EQ(err.find("COMSETUP_TRACE", told + 1), std::string::npos) << err;
        }
    }
}
