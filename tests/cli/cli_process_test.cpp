// comsetup-cli as a technician runs it, against comsetup-sim on pseudo-terminals: one whole
// download, a missing port, bad arguments, Ctrl+C (first as Cancel, second ending at once),
// the termination signals and output files that cannot be written. Downloads of one test run
// side by side, each against its own stand-in. The exit code, verdict and cause of every
// outcome, and batches, run in virtual time (download_job_test.cpp).
#include "tests/support/child_process.h"

#include "cli/batch.h"
#include "cli/exit_codes.h"
#include "config/journal.h"
#include "tests/serial/line_state.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <pty.h>
#include <sqlite3.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace comsetup::cli;
using comsetup::test::ChildProcess;
using comsetup::test::Describe;
using comsetup::test::LineState;
using comsetup::test::ReadFile;
using comsetup::test::ReadLineState;
using comsetup::test::SetCookedLine;
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

// Polls ready until it holds or limit passes: a file another process writes has no clock to
// move.
bool WaitUntil(const std::function<bool()>& ready, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::vector<std::string> Cli(std::vector<std::string> args) {
    args.insert(args.begin(), COMSETUP_CLI_PATH);
    return args;
}

} // namespace

// The one real end-to-end download: the executable against the stand-in on a pseudo-terminal,
// the values decoded at the far end. Every other outcome runs in virtual time
// (download_job_test.cpp).
TEST(CliProcess, DownloadReachesTheConverterAndEndsComplete) {
    TempFolder folder;
    StandIn standIn(folder, "complete", "01.8");
    ASSERT_TRUE(standIn.ready);
    ChildProcess cli(
        Cli({"download", "--port", standIn.link, "--plain", "--log", folder.File("complete.log"),
             "--mode", "point-to-point", "--peer", "10.0.0.9", "--remote-port", "10002", "--ip",
             "10.0.0.5", "--mask", "255.255.0.0", "--flow", "cts-rts"}));
    EXPECT_EQ(cli.Wait(kDownloadLimit), kExitComplete) << cli.Err();
    const std::string out = cli.Out();
    // The verdict ends the progress, with what was written below it.
    EXPECT_TRUE(out.ends_with("\nSetup Complete\n  10.0.0.5/16, 9600 8N1, flow CTS/RTS, port "
                              "10001, peer 10.0.0.9:10002, saved by firmware 01.8\n"))
        << out;

    standIn.process.Signal(SIGTERM);
    standIn.process.Wait(10s);
    const auto session = standIn.Session();
    ASSERT_TRUE(session.is_object()) << ReadFile(standIn.json);
    EXPECT_EQ(session["end"], "complete");
    EXPECT_EQ(session["config"]["ip"], "10.0.0.5");
    EXPECT_EQ(session["config"]["host_bits"], 16);
    EXPECT_EQ(session["config"]["flow_code"], "02");
    EXPECT_EQ(session["config"]["tunnel"], true);
    EXPECT_EQ(session["config"]["remote"], "10.0.0.9");
    EXPECT_EQ(session["config"]["remote_port"], "10002"); // the far end's port, as typed
    // The monitor log file holds the converter's lines, the closing one included.
    EXPECT_NE(ReadFile(folder.File("complete.log")).find("Exit without"), std::string::npos);
}

// A port that names no device: the message names the port, on both streams, and its cause
// is said once, on the closing line.
TEST(CliProcess, MissingPortEndsWithItsExitCodeAndTheName) {
    TempFolder folder;
    const std::string port = folder.File("missing-device");
    ChildProcess cli(Cli({"download", "--port", port, "--plain"}));
    EXPECT_EQ(cli.Wait(30s), kExitPortError) << cli.Err();
    EXPECT_NE(cli.Out().find("Error: Error opening serial port :" + port + "\n"), std::string::npos)
        << cli.Out();
    EXPECT_EQ(cli.Out().find("no such device"), std::string::npos) << cli.Out();
    EXPECT_TRUE(cli.Out().ends_with("\nImpossible to complete the Setup\n")) << cli.Out();
    EXPECT_NE(cli.Err().find(port + ": no such device"), std::string::npos) << cli.Err();
}

// Device paths from the environment reach the console escaped and cut (an escape sequence
// or a newline in one must not act on the terminal or fake a verdict line); the message names
// the device and the variable the program reads, however the port was spelt; a link loop is
// called one.
TEST(CliProcess, OddDevicePathsAreNamedSafely) {
    TempFolder folder;
    const std::string loop = folder.File("loop");
    std::filesystem::create_symlink(folder.File("loop2"), loop);
    std::filesystem::create_symlink(loop, folder.File("loop2"));
    const std::string hostile = folder.File("x\x1b]0;PWNED\x07\nSetup Complete");
    const std::string longPath = folder.File(std::string(10000, 'p'));
    struct Row {
        std::string port;
        std::string env;
        std::vector<std::string> said;
    };
    const std::vector<Row> rows{
        {"com01",
         "COMSETUP_COM1=" + hostile,
         {"no such device (com01 is ",
          "x\\x1b]0;PWNED\\x07\\nSetup Complete; COMSETUP_COM1 can name another device)"}},
        {"COM2",
         "COMSETUP_COM2=" + longPath,
         {"no such device (COM2 is ", "characters); COMSETUP_COM2"}},
        {loop, "", {"a loop of symbolic links, no device at its end"}},
    };
    for (const Row& r : rows) {
        ChildProcess cli(Cli({"download", "--port", r.port, "--plain"}),
                         r.env.empty() ? std::vector<std::string>{}
                                       : std::vector<std::string>{r.env});
        EXPECT_EQ(cli.Wait(30s), kExitPortError) << r.port << cli.Err();
        const std::string all = cli.Out() + cli.Err();
        // The explanation is said once, on the closing line (standard error).
        for (const std::string& part : r.said) {
            EXPECT_NE(cli.Err().find(part), std::string::npos) << part << "\n" << cli.Err();
            EXPECT_EQ(all.find(part), all.rfind(part)) << part << "\n" << all;
        }
        EXPECT_EQ(all.find('\x1b'), std::string::npos) << all;
        EXPECT_EQ(all.find("\nSetup Complete"), std::string::npos) << all;
        std::istringstream lines(all);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LT(line.size(), 600u) << line.substr(0, 200);
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
          std::vector<std::string>{"download", "--port", name, "--baud", "1234567"},
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

// Every way a download ends while it runs: SIGTERM and SIGHUP (ended at once with the
// documented code, what ended said on standard error, the result object or batch table
// printed), a second Ctrl+C, a reader of standard output that goes away (cancelled, the
// verdict on standard error; with --json too) and an end of its own; a single download, a batch and
// a plan's sequence. Each end is recorded as what it was: the journal row says terminated or
// interrupted with the firmware and the log so far (what the log file held), never "did not
// finish"; a sequence's table says its row was interrupted at its stage. After each, every
// port is as the next program expects it: not exclusive, with the settings it had before.
TEST(CliProcess, TerminationSignalsEndAtOnceWithTheResults) {
    TempFolder folder;
    enum class End { Signal, SecondCtrlC, OutputClosed, ByItself };
    enum class Kind { Single, Batch, Sequence };
    struct Case {
        std::string name;
        End end;
        int signal; // End::Signal
        Kind kind;
        int ports; // a batch's
        bool json;
        int exitCode;
        std::string outcome; // of every journal row
        std::string fail = "healthy";
    };
    const std::vector<Case> cases{
        {"single", End::Signal, SIGTERM, Kind::Single, 1, true, kExitTerminated, "terminated"},
        {"singlehup", End::Signal, SIGHUP, Kind::Single, 1, false, kExitTerminated, "terminated"},
        {"batchjson", End::Signal, SIGHUP, Kind::Batch, 1, true, kExitTerminated, "terminated"},
        {"batchtable", End::Signal, SIGTERM, Kind::Batch, 2, false, kExitTerminated, "terminated"},
        {"second-ctrl-c", End::SecondCtrlC, 0, Kind::Batch, 2, false, kExitInterrupted,
         "interrupted"},
        {"single-ctrl-c", End::SecondCtrlC, 0, Kind::Single, 1, false, kExitInterrupted,
         "interrupted"},
        {"sequence", End::Signal, SIGTERM, Kind::Sequence, 1, false, kExitTerminated, "terminated"},
        {"sequence-ctrl-c", End::SecondCtrlC, 0, Kind::Sequence, 1, false, kExitInterrupted,
         "interrupted"},
        {"stdout-closed", End::OutputClosed, 0, Kind::Single, 1, false, kExitCancelled,
         "cancelled"},
        // With --json only the result goes to standard output: its reader leaving still
        // cancels, as it would have had nowhere to read the result.
        {"json-stdout-closed", End::OutputClosed, 0, Kind::Single, 1, true, kExitCancelled,
         "cancelled"},
        {"by-itself", End::ByItself, 0, Kind::Single, 1, false, kExitFirmwareUnknown,
         "firmware-unknown", "unknown-firmware"},
    };
    struct Run {
        std::vector<std::unique_ptr<StandIn>> standIns;
        std::vector<termios> before;   // each line's settings before the download
        std::vector<std::string> logs; // each download's log file
        std::string journal;
        std::unique_ptr<ChildProcess> cli;
    };
    std::vector<Run> runs;
    for (const auto& c : cases) {
        Run run;
        run.journal = folder.File(c.name + ".sqlite");
        const std::string logDir = folder.File(c.name + "-logs");
        std::filesystem::create_directory(logDir);
        nlohmann::json batch = nlohmann::json::array();
        for (int i = 0; i < c.ports; ++i) {
            run.standIns.push_back(
                std::make_unique<StandIn>(folder, c.name + std::to_string(i), "01.8", c.fail));
            ASSERT_TRUE(run.standIns.back()->ready) << c.name;
            run.before.push_back(SetCookedLine(run.standIns.back()->link, false));
            batch.push_back({{"port", run.standIns.back()->link}});
            run.logs.push_back(logDir + "/0" + std::to_string(i + 1) + "-" +
                               LogFileName(run.standIns.back()->link));
        }
        const std::string port = run.standIns[0]->link;
        std::vector<std::string> args{"download", "--port", port, "--plain", "--log", run.logs[0]};
        if (c.kind == Kind::Batch) {
            const std::string file = folder.File(c.name + "-batch.json");
            std::ofstream(file) << batch.dump();
            args = {"batch", file, "--log-dir", logDir};
        } else if (c.kind == Kind::Sequence) {
            const std::string plan = folder.File(c.name + "-plan.csv");
            std::ofstream(plan) << "ip\n10.0.0.21\n10.0.0.22\n";
            run.logs[0] = logDir + "/row001-1.log";
            // Enter for each converter, from a file: the sequence asks before each one.
            const std::string enter = folder.File(c.name + "-enter");
            std::ofstream(enter) << "\n\n\n";
            args = {"/bin/sh",
                    "-c",
                    "exec \"$0\" \"$@\" < " + enter,
                    COMSETUP_CLI_PATH,
                    "sequence",
                    "--plan",
                    plan,
                    "--port",
                    port,
                    "--plain",
                    "--log-dir",
                    logDir};
        }
        args.insert(args.end(), {"--journal", run.journal});
        if (c.json) {
            args.push_back("--json");
        }
        run.cli =
            std::make_unique<ChildProcess>(c.kind == Kind::Sequence ? args : Cli(args),
                                           std::vector<std::string>{}, c.end == End::OutputClosed);
        runs.push_back(std::move(run));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        ChildProcess& cli = *runs[i].cli;
        if (c.end != End::ByItself) {
            // Every download is running its script, and its log has lines.
            for (std::size_t p = 0; p < runs[i].standIns.size(); ++p) {
                const std::string prefix =
                    c.kind == Kind::Batch ? "[" + runs[i].standIns[p]->link + "] " : "";
                ASSERT_TRUE(cli.WaitForText(prefix + "Setup in progress...", 60s, c.json))
                    << cli.Out() << cli.Err();
                if (c.end != End::OutputClosed) {
                    ASSERT_TRUE(WaitUntil([&] { return !ReadFile(runs[i].logs[p]).empty(); }, 30s));
                }
            }
        }
        switch (c.end) {
        case End::Signal:
            cli.Signal(c.signal);
            break;
        case End::SecondCtrlC:
            cli.Signal(SIGINT);
            ASSERT_TRUE(cli.WaitForText("Cancel requested", 10s, true)) << cli.Err();
            cli.Signal(SIGINT);
            break;
        case End::OutputClosed:
            cli.CloseOut(); // `| head`: the reader has what it wanted
            break;
        case End::ByItself:
            break;
        }
    }
    // Every end is given before any is checked, so each comes while its download still runs.
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        ChildProcess& cli = *runs[i].cli;
        EXPECT_EQ(cli.Wait(c.end == End::Signal ? 10s : kDownloadLimit), c.exitCode) << cli.Err();
        const std::string name = c.signal == SIGTERM ? "SIGTERM" : "SIGHUP";
        const std::string during = "ended at once by " +
                                   (c.end == End::Signal ? name : std::string("a second Ctrl+C")) +
                                   " during \"Setup in progress...";
        if (c.end == End::Signal) {
            EXPECT_NE(cli.Err().find("terminated by " + name), std::string::npos) << cli.Err();
            if (c.json) {
                const auto parsed = nlohmann::json::parse(cli.Out(), nullptr, false);
                const auto result = c.kind == Kind::Batch && parsed.is_array() ? parsed[0] : parsed;
                EXPECT_EQ(result["outcome"], "terminated") << cli.Out();
                EXPECT_EQ(result["exit_code"], kExitTerminated) << cli.Out();
                // The stage it was at when it ended.
                EXPECT_NE(result["error"].get<std::string>().find(during), std::string::npos)
                    << cli.Out();
            } else if (c.kind == Kind::Batch) {
                EXPECT_NE(cli.Out().find("terminated  8"), std::string::npos) << cli.Out();
                EXPECT_NE(cli.Out().find("0 of 2 downloads complete"), std::string::npos);
            } else if (c.kind == Kind::Sequence) {
                // The row that ran is interrupted at its stage; the next one was not run.
                EXPECT_NE(
                    cli.Out().find("1    10.0.0.21  interrupted  8     Terminated - " + during),
                    std::string::npos)
                    << cli.Out();
                EXPECT_NE(cli.Out().find("2    10.0.0.22  not run"), std::string::npos)
                    << cli.Out();
            }
        }
        if (c.end == End::OutputClosed) {
            // The verdict the progress could not show, and why it came.
            const std::string err = cli.Err();
            const std::string port = runs[i].standIns[0]->link;
            EXPECT_NE(err.find("comsetup-cli: " + port +
                               ": standard output could not be written (Broken pipe): "
                               "cancelled as by Ctrl+C\n"
                               "comsetup-cli: " +
                               port + ": Setup cancel from user\n"),
                      std::string::npos)
                << err;
        }
        // The journal: one finished row per download, recorded as what ended it.
        const auto journal = comsetup::config::Journal::OpenForReading(runs[i].journal);
        ASSERT_TRUE(journal);
        comsetup::config::JournalFilter all;
        all.limit = 0;
        const auto rows = journal->List(all);
        ASSERT_EQ(rows.size(), runs[i].standIns.size());
        for (const auto& row : rows) {
            EXPECT_EQ(row.end.outcome, c.outcome);
            EXPECT_FALSE(row.endedUtc.empty());
            if (c.end == End::Signal || c.end == End::SecondCtrlC) {
                EXPECT_EQ(row.end.exitCode, c.exitCode);
                EXPECT_EQ(row.end.firmware, "01.8");
                EXPECT_NE(row.end.cause.find(during), std::string::npos) << row.end.cause;
                // The log so far: what the log file held (it may have gone on a little
                // while the row was written).
                const auto p = static_cast<std::size_t>(
                    std::find_if(runs[i].standIns.begin(), runs[i].standIns.end(),
                                 [&](const auto& s) { return s->link == row.start.setup.port; }) -
                    runs[i].standIns.begin());
                ASSERT_LT(p, runs[i].logs.size());
                EXPECT_FALSE(row.end.log.empty());
                EXPECT_TRUE(ReadFile(runs[i].logs[p]).starts_with(row.end.log))
                    << row.end.log << "\n---\n"
                    << ReadFile(runs[i].logs[p]);
            }
        }
        for (std::size_t p = 0; p < runs[i].standIns.size(); ++p) {
            SCOPED_TRACE("port " + std::to_string(p));
            const LineState after = ReadLineState(runs[i].standIns[p]->link);
            ASSERT_TRUE(after.opened);
            EXPECT_FALSE(after.exclusive);
            EXPECT_EQ(Describe(after.settings), Describe(runs[i].before[p]));
        }
    }
}

// A journal another program keeps locked when the process is ended at once: the row is
// waited for a short while only, so the process still ends with its code; a signal that
// comes during that wait ends it at once, in the handler (130: not the watcher's 8).
TEST(CliProcess, LockedJournalHoldsNoEndAtOnceForLong) {
    TempFolder folder;
    struct Case {
        std::string name;
        bool laterCtrlC;
        int exitCode;
    };
    const std::vector<Case> cases{{"locked", false, kExitTerminated},
                                  {"locked-then-ctrl-c", true, kExitInterrupted}};
    std::vector<std::unique_ptr<StandIn>> standIns;
    std::vector<std::unique_ptr<ChildProcess>> clis;
    for (const Case& c : cases) {
        standIns.push_back(std::make_unique<StandIn>(folder, c.name, "01.8"));
        ASSERT_TRUE(standIns.back()->ready);
        clis.push_back(std::make_unique<ChildProcess>(
            Cli({"download", "--port", standIns.back()->link, "--plain", "--journal",
                 folder.File(c.name + ".sqlite")})));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        ChildProcess& cli = *clis[i];
        ASSERT_TRUE(cli.WaitForText("Setup in progress...", 60s)) << cli.Out() << cli.Err();
        const std::string path = folder.File(c.name + ".sqlite");
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        cli.Signal(SIGTERM);
        if (c.laterCtrlC) {
            ASSERT_TRUE(cli.WaitForText("terminated by SIGTERM", 10s, true)) << cli.Err();
            cli.Signal(SIGINT);
        }
        EXPECT_EQ(cli.Wait(10s), c.exitCode) << cli.Err();
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        // The row could not be written: it says the download did not finish, as it is.
        const auto rows = comsetup::config::Journal::OpenForReading(path)->List({});
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].endedUtc, "");
        const LineState after = ReadLineState(standIns[i]->link);
        ASSERT_TRUE(after.opened);
        EXPECT_FALSE(after.exclusive);
    }
}

// Record files that are no regular file are refused before anything is sent: a device (also
// behind a symbolic link), a named pipe nobody reads (which used to hold open() for ever), a
// protected file;
// a trace file that cannot be opened is said once and the download goes on. A full disk
// under a whole download is shown in virtual time (download_job_test.cpp).
TEST(CliProcess, OutputFilesThatAreNoRegularFileAreRefused) {
    TempFolder folder;
    const std::string logDir = folder.File("logs");
    std::filesystem::create_directory(logDir);
    const std::string fifo = folder.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = folder.File("socket");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // A protected file is refused as --save-config refuses it (root could append to it), and
    // a name of outside bytes is shown escaped.
    const std::string protectedLog = folder.File("protected.log");
    std::ofstream(protectedLog) << "earlier\n";
    ::chmod(protectedLog.c_str(), 0444);
    const std::string oddFifo = folder.File("odd\x1b[2J");
    ASSERT_EQ(::mkfifo(oddFifo.c_str(), 0600), 0);
    // The port is missing: a refusal that came after opening it would be a port error (3).
    const std::string port = folder.File("tty");
    struct Case {
        std::string name;
        std::string log; // "": a batch with --log-dir, its log file name a link to /dev/full
        std::string said;
    };
    const std::vector<Case> cases{
        {"device", "/dev/full", "/dev/full: is a device, not a regular file; nothing was sent"},
        {"pipe", fifo, "is a named pipe that nobody reads, not a regular file; nothing was sent"},
        {"socket", socketPath, "is a socket, not a regular file; nothing was sent"},
        {"dir", "", "is a device, not a regular file; nothing was sent"},
        {"protected", protectedLog,
         "protected.log: read-only: the file is protected against writing; remove the protection "
         "to add to it; nothing was sent"},
        {"escaped", oddFifo, "odd\\x1b[2J: is a named pipe that nobody reads"},
    };
    std::vector<std::unique_ptr<ChildProcess>> runs;
    for (const auto& c : cases) {
        std::vector<std::string> args{"download", "--port", port, "--log", c.log, "--json"};
        if (c.log.empty()) {
            const std::string batch = folder.File(c.name + "-batch.json");
            std::ofstream(batch) << nlohmann::json::array({{{"port", port}}}).dump();
            std::filesystem::create_symlink("/dev/full", logDir + "/01-" + LogFileName(port));
            args = {"batch", batch, "--log-dir", logDir, "--json"};
        }
        runs.push_back(std::make_unique<ChildProcess>(
            Cli(args), std::vector<std::string>{"COMSETUP_TRACE=" + fifo}));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        ChildProcess& cli = *runs[i];
        EXPECT_EQ(cli.Wait(kDownloadLimit), kExitBadArguments) << c.name << cli.Err();
        const std::string err = cli.Err();
        // A single download says it on standard error, a batch in its result.
        EXPECT_NE((err + cli.Out()).find(c.said), std::string::npos) << c.name << err << cli.Out();
        const auto told = err.find("COMSETUP_TRACE: " + fifo + ": is a named pipe that nobody");
        EXPECT_EQ(told == std::string::npos, c.log.empty()) << c.name << err; // no trace in a batch
        if (told != std::string::npos) {
            EXPECT_EQ(err.find("COMSETUP_TRACE", told + 1), std::string::npos) << err;
        }
    }
    struct stat info {};
    ASSERT_EQ(::lstat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode)); // left as it was
    EXPECT_EQ(ReadFile(protectedLog), "earlier\n");
    ::close(sock);
}
