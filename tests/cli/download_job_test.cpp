// comsetup-cli's downloads in virtual time, each against the converter stand-in's model on an
// in-memory line: the exit code, verdict, cause and monitor log of every outcome, the values
// the converter decoded, monitor logs and a standard output that cannot be written, and a
// batch with one failing converter. The real end-to-end download of the executable is in
// cli_process_test.cpp.
#include "model_converter.h"
#include "tests/support/child_process.h"
#include "tests/support/full_disk.h"
#include "tests/support/model_line.h"

#include "cli/arguments.h"
#include "cli/batch.h"
#include "cli/download_job.h"
#include "cli/exit_codes.h"

#include "config/journal.h"
#include "download/pacer.h"
#include "serial/memory_device.h"
#include "serial/port_names.h"
#include "sim/session_report.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>

using namespace comsetup::cli;
using comsetup::MemoryComm;
using comsetup::MemoryLine;
using comsetup::VirtualPacer;
using comsetup::test::FullDisk;
using comsetup::test::ModelConverter;
using comsetup::test::ModelLine;
using comsetup::test::ReadFile;
using comsetup::test::TempFolder;
namespace sim = comsetup::sim;
namespace config = comsetup::config;

namespace {

// Standard output whose reader goes away (`| head`) once it has been given `last`: every
// write after that fails as a closed pipe's does.
class ClosingOutput : public std::streambuf {
public:
    explicit ClosingOutput(std::string last) : last_(std::move(last)) {}

protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        if (closed_) {
            errno = EPIPE;
            return 0;
        }
        seen_.append(text, static_cast<std::size_t>(count));
        closed_ = !last_.empty() && seen_.find(last_) != std::string::npos;
        return count;
    }
    int overflow(int c) override {
        const char byte = static_cast<char>(c);
        return c == traits_type::eof() || xsputn(&byte, 1) == 1 ? 0 : traits_type::eof();
    }

private:
    std::string last_;
    std::string seen_;
    bool closed_ = false;
};

SetupProfile Profile(std::vector<std::string> args) {
    args.insert(args.begin(), "download");
    const ParsedCommandLine parsed = ParseCommandLine(args);
    EXPECT_TRUE(parsed.arguments.has_value()) << parsed.err;
    return parsed.arguments ? parsed.arguments->setup : SetupProfile{};
}

TEST(DownloadJob, EachOutcomeHasItsExitCodeVerdictAndCause) {
    TempFolder folder;
    const std::string kFullDisk = "full";
    struct Scenario {
        std::string name;
        sim::Firmware firmware;
        sim::FailMode fail;
        std::vector<std::string> options;
        int exitCode;
        std::string verdict;
        std::string cause;                  // also the monitor log's last line, when not empty
        std::string logDisk = "";           // kFullDisk: every write of the monitor log fails
        std::string cancelAfter = "";       // Ctrl+C once the converter has received this
        std::string written = "";           // printed below "Setup Complete"
        std::string outputClosedAfter = ""; // standard output's reader goes away after this
    };
    const std::string cancelledTyped = "cancelled after the settings were typed: the converter "
                                       "may hold some or all of them; download again to be sure";
    const std::string noAnswer = "no answer on COM3 in 15 s: check the cable and that the "
                                 "converter was switched off and on";
    const std::string unknown = "firmware V7.0.0.1 is not one this program knows (01.8, V6.5.0.7)";
    using F = sim::FailMode;
    const auto v018 = sim::Firmware::V01_8;
    const auto v6507 = sim::Firmware::V6_5_0_7;
    const std::vector<Scenario> scenarios{
        {"complete",
         v018,
         F::Healthy,
         {"--mode", "point-to-point", "--peer", "10.0.0.9"},
         kExitComplete,
         "Setup Complete",
         "",
         "",
         "",
         "192.168.1.200/24, 9600 8N1, port 10001, peer 10.0.0.9:10001, saved by firmware 01.8"},
        {"master",
         v6507,
         F::Healthy,
         {"--mode", "point-to-multipoint", "--master", "--ip", "10.0.0.5", "--mask", "255.255.0.0",
          "--gateway", "10.0.0.1", "--flow", "cts-rts"},
         kExitComplete,
         "Setup Complete",
         "",
         "",
         "",
         "10.0.0.5/16, gateway 10.0.0.1, 9600 8N1, flow CTS/RTS, port 10001, answers broadcasts "
         "to port 10001, saved by firmware V6.5.0.7"},
        {"no-exit-without",
         v018,
         F::NoExitWithout,
         {},
         kExitErrorOnSetup,
         "ERROR ON SETUP",
         // What the converter did say, its own "Settings saved." included.
         "the converter did not confirm the settings (no \"Exit without\" after \"9\"); the "
         "converter said \"Settings saved.\""},
        // Output after its confirmation: the cause says so, and what the converter said.
        {"flood",
         v018,
         F::Flood,
         {},
         kExitErrorOnSetup,
         "ERROR ON SETUP",
         "the converter did not confirm the settings (no \"Exit without\" after \"9\"); the "
         "converter said \"flood 000587 0123456789abcdefghijklmnopqrstuvwxyzABCDEFGH\""},
        {"no-answer",
         v018,
         F::NoAnswer,
         {},
         kExitNoAnswer,
         "IMPOSSIBLE TO COMPLETE THE SETUP ",
         noAnswer},
        {"short",
         v6507,
         F::ShortAnswer,
         {},
         kExitNoAnswer,
         "IMPOSSIBLE TO COMPLETE THE SETUP ",
         "the converter answered 9 bytes, not a banner"},
        {"garbage",
         v018,
         F::Garbage,
         {},
         kExitFirmwareUnknown,
         "Hardware version not found",
         "the converter answered 160 bytes, none naming its firmware (no \"SOFTWARE VERSION\")"},
        {"unknown-firmware",
         v018,
         F::UnknownFirmware,
         {},
         kExitFirmwareUnknown,
         "Hardware version not found",
         unknown},
        // The converter saved the settings but never restarted: the records reached nobody.
        {"no-restart",
         v6507,
         F::NoRestart,
         {},
         kExitErrorOnSetup,
         "ERROR ON SETUP",
         "no answer after the restart; the converter said \"Exit without errors, settings "
         "saved.\""},
        {"vanish",
         v018,
         F::Vanish,
         {},
         kExitErrorOnSetup,
         "ERROR ON SETUP",
         "the device went away: unplugged adapter?"},
        // A monitor log that cannot be written: said by the exit code when the setup went in,
        // the download's own exit code otherwise.
        {"full-log",
         v018,
         F::Healthy,
         {},
         kExitLogIncomplete,
         "Setup Complete",
         "",
         kFullDisk,
         "",
         "192.168.1.200/24, 9600 8N1, port 10001, saved by firmware 01.8"},
        {"full-log-unknown",
         v018,
         F::UnknownFirmware,
         {},
         kExitFirmwareUnknown,
         "Hardware version not found",
         unknown,
         kFullDisk},
        // Ctrl+C: said whether the converter was sent any setting; after the banner the menu
        // answers go on to "9", the records never go to a converter that is restarting.
        {"cancel-waiting",
         v018,
         F::NoAnswer,
         {},
         kExitCancelled,
         "Setup cancel from user",
         "cancelled before the converter answered: no setting was sent",
         "",
         "xx"},
        {"cancel-in-script",
         v6507,
         F::Healthy,
         {},
         kExitCancelled,
         "Setup cancel from user",
         cancelledTyped,
         "",
         "9600"},
        {"cancel-in-restart-wait",
         v018,
         F::NoRestart,
         {},
         kExitCancelled,
         "Setup cancel from user",
         cancelledTyped,
         "",
         "zz"},
        // A closed standard output is found at the next write: one during the download
        // cancels it as Ctrl+C does; the verdict's own keeps the verdict.
        {"output-closed-waiting",
         v018,
         F::NoAnswer,
         {},
         kExitNoAnswer,
         "IMPOSSIBLE TO COMPLETE THE SETUP ",
         noAnswer,
         "",
         "",
         "",
         "Check the connection"},
        {"output-closed-in-script",
         v6507,
         F::Healthy,
         {},
         kExitCancelled,
         "Setup cancel from user",
         cancelledTyped,
         "",
         "",
         "",
         "Setup in progress..."},
    };
    for (const auto& s : scenarios) {
        SCOPED_TRACE(s.name);
        ModelConverter converter(s.firmware, s.fail);
        std::vector<std::string> args{"--port", "COM3"};
        args.insert(args.end(), s.options.begin(), s.options.end());
        std::ostringstream progress;
        ClosingOutput closing(s.outputClosedAfter);
        std::ostream closingProgress(&closing);
        JobOptions options;
        options.progressOut = s.outputClosedAfter.empty() ? &progress : &closingProgress;
        options.reporter.live = false;
        options.logPath = folder.File(s.name + ".log");
        options.line = converter.Line();
        std::atomic<bool> cancel{false};
        if (!s.cancelAfter.empty()) {
            converter.afterStep = [&] {
                if (converter.converter.Received().ends_with(s.cancelAfter)) {
                    cancel = true;
                }
            };
        }
        std::optional<FullDisk> full;
        if (s.logDisk == kFullDisk) {
            full.emplace();
        }
        const DownloadResult result = RunDownloadJob(Profile(args), options, cancel);
        full.reset();

        EXPECT_EQ(result.exitCode, s.exitCode) << result.error;
        EXPECT_EQ(result.verdict, s.verdict);
        EXPECT_EQ(result.cause, s.cause);
        EXPECT_EQ(ResultToJson(result)["cause"],
                  s.cause.empty() ? nlohmann::json(nullptr) : nlohmann::json(s.cause));
        EXPECT_EQ(result.written, s.written);
        EXPECT_EQ(ResultToJson(result)["written"],
                  s.written.empty() ? nlohmann::json(nullptr) : nlohmann::json(s.written));
        // What the command prints on standard error below the verdict.
        if (!s.cause.empty() && s.fail != F::Vanish) {
            EXPECT_EQ(result.error, s.cause);
        }
        if (s.exitCode == kExitCancelled) {
            // Nothing after the cancel's stop.
            EXPECT_EQ(converter.converter.Received().find("S7"), std::string::npos);
        }
        EXPECT_EQ(result.logError.empty(), s.logDisk.empty()) << result.logError;
        if (s.fail == F::Vanish) {
            // The serial component's own text, with its error code.
            EXPECT_NE(result.error.find("(Error: "), std::string::npos) << result.error;
        }
        EXPECT_EQ(result.outputError, s.outputClosedAfter.empty()
                                          ? ""
                                          : "standard output could not be written (" +
                                                std::string(std::strerror(EPIPE)) + ")");
        // The verdict is the last progress line (printed without its trailing blank).
        std::string shown = s.verdict;
        while (shown.ends_with(' ')) {
            shown.pop_back();
        }
        const std::string out = progress.str();
        if (s.outputClosedAfter.empty()) {
            EXPECT_TRUE(out.ends_with("\n" + shown + "\n")) << out;
        }
        if (s.logDisk.empty()) {
            const std::string log = ReadFile(options.logPath);
            EXPECT_EQ(static_cast<int>(std::count(log.begin(), log.end(), '\n')), result.logLines);
            if (!s.cause.empty()) {
                EXPECT_TRUE(("\n" + log).ends_with("\n" + s.cause + "\n")) << log;
            }
        }
    }
}

// The values reach the converter as the wizard would have mapped them, and the monitor log
// holds the converter's lines, the closing one included.
TEST(DownloadJob, ValuesReachTheConverterAsTheWizardMapsThem) {
    TempFolder folder;
    struct Case {
        sim::Firmware firmware;
        std::vector<std::string> options;
        nlohmann::json config; // what the converter decoded, as far as given
    };
    const std::vector<Case> cases{
        {sim::Firmware::V01_8,
         {"--mode", "point-to-point", "--peer", "10.0.0.9"},
         {{"tunnel", true}, {"remote", "10.0.0.9"}}},
        {sim::Firmware::V6_5_0_7,
         {"--mode", "point-to-multipoint", "--master", "--ip", "10.0.0.5", "--mask", "255.255.0.0",
          "--gateway", "10.0.0.1", "--flow", "cts-rts"},
         {{"ip", "10.0.0.5"},
          {"host_bits", 16},
          {"use_gateway", true},
          {"gateway", "10.0.0.1"},
          {"broadcast", true},
          {"flow_code", "02"},
          {"record", "A"}}},
    };
    for (const auto& c : cases) {
        ModelConverter converter(c.firmware, sim::FailMode::Healthy);
        std::vector<std::string> args{"--port", "COM4"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::ostringstream progress;
        JobOptions options;
        options.progressOut = &progress;
        options.logPath = folder.File("values.log");
        options.line = converter.Line();
        std::atomic<bool> cancel{false};
        ASSERT_EQ(RunDownloadJob(Profile(args), options, cancel).exitCode, kExitComplete);
        const auto session = converter.Session();
        ASSERT_TRUE(session.is_object());
        EXPECT_EQ(session["end"], "complete");
        EXPECT_EQ(session["anomalies"].size(), 0u) << session["anomalies"].dump();
        for (const auto& [key, value] : c.config.items()) {
            EXPECT_EQ(session["config"][key], value) << key;
        }
        EXPECT_NE(ReadFile(options.logPath).find("Exit without"), std::string::npos);
        std::filesystem::remove(options.logPath);
    }
}

// --port auto: three converters on COM1..COM3, of which only the second answers. The setup
// reaches the one that answered, the others got only the polling.
TEST(DownloadJob, PortAutoFindsTheOneConverterThatAnswers) {
    using F = sim::FailMode;
    std::vector<std::unique_ptr<ModelLine>> converters;
    for (const F fail : {F::NoAnswer, F::Healthy, F::NoAnswer}) {
        converters.push_back(std::make_unique<ModelLine>(
            ModelLine::Options(sim::Firmware::V01_8, fail), std::make_shared<MemoryLine>()));
    }
    VirtualPacer pacer;
    pacer.SetListener([&](std::chrono::nanoseconds now) {
        for (auto& converter : converters) {
            converter->Step(now);
        }
    });
    std::size_t made = 0;
    JobLine line;
    line.pacer = &pacer;
    line.searchPorts = {"COM1", "COM2", "COM3"};
    line.makePort = [&]() -> std::unique_ptr<TCustomComm> {
        return std::make_unique<MemoryComm>(converters.at(made++)->LineShared());
    };
    std::ostringstream progress;
    JobOptions options;
    options.progressOut = &progress;
    options.line = line;
    TempFolder folder;
    options.journalPath = folder.File("journal.sqlite");
    std::atomic<bool> cancel{false};
    const DownloadResult result =
        RunDownloadJob(Profile({"--port", "auto", "--ip", "10.9.0.7"}), options, cancel);
    // The journal names the port written, not "auto": a look-up by that port finds it.
    config::JournalFilter byPort;
    byPort.port = "COM2";
    const auto rows = config::Journal::OpenForReading(options.journalPath)->List(byPort);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].start.device, comsetup::ResolvePortName("COM2"));
    EXPECT_EQ(rows[0].end.outcome, "complete");

    ASSERT_EQ(result.exitCode, kExitComplete) << result.error;
    EXPECT_EQ(result.found, "COM2");
    EXPECT_EQ(ResultToJson(result)["found_port"], "COM2");
    const auto sessions =
        converters[1]->FinishedSessions(pacer.Now() + std::chrono::milliseconds(1));
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0]["config"]["ip"], "10.9.0.7");
    for (const std::size_t silent : {std::size_t{0}, std::size_t{2}}) {
        const std::string sent = converters[silent]->Received();
        EXPECT_FALSE(sent.empty()) << silent;
        EXPECT_EQ(sent.find_first_not_of('x'), std::string::npos) << sent;
    }
}

TEST(DownloadJob, BatchRunsEveryConverterAndReportsTheFailingOne) {
    TempFolder folder;
    std::vector<std::unique_ptr<ModelConverter>> converters;
    converters.push_back(
        std::make_unique<ModelConverter>(sim::Firmware::V01_8, sim::FailMode::Healthy));
    converters.push_back(
        std::make_unique<ModelConverter>(sim::Firmware::V6_5_0_7, sim::FailMode::NoExitWithout));
    converters.push_back(
        std::make_unique<ModelConverter>(sim::Firmware::V6_5_0_7, sim::FailMode::Healthy));
    converters.push_back(
        std::make_unique<ModelConverter>(sim::Firmware::V01_8, sim::FailMode::Healthy));
    const std::vector<SetupProfile> setups{
        Profile({"--port", "COM1", "--ip", "10.1.0.1"}),
        Profile({"--port", "COM2", "--ip", "10.1.0.2"}),
        Profile({"--port", "COM3", "--ip", "10.1.0.3", "--mode", "point-to-point", "--peer",
                 "10.1.0.1"}),
        Profile({"--port", "COM4", "--ip", "10.1.0.4"}),
    };
    const std::string logDir = folder.File("logs");
    std::filesystem::create_directory(logDir);
    // The fourth download's log file name leads to a device: refused before it starts.
    std::filesystem::create_symlink("/dev/full", logDir + "/04-" + LogFileName("COM4"));
    std::ostringstream progress;
    BatchOptions options;
    options.progressOut = &progress;
    options.logDir = logDir;
    options.lineFor = [&](std::size_t i) { return converters[i]->Line(); };
    const auto results = RunBatch(setups, options);

    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].exitCode, kExitComplete);
    EXPECT_EQ(results[1].exitCode, kExitErrorOnSetup);
    EXPECT_EQ(results[1].verdict, "ERROR ON SETUP");
    EXPECT_EQ(results[2].exitCode, kExitComplete);
    EXPECT_EQ(results[2].firmware, "V6.5.0.7");
    EXPECT_EQ(results[3].exitCode, kExitBadArguments) << results[3].error;
    EXPECT_NE(results[3].error.find("is a device, not a regular file; nothing was sent"),
              std::string::npos)
        << results[3].error;
    EXPECT_EQ(converters[3]->converter.Received(), ""); // not even a wake-up poll
    // The first download in the file's order that did not complete gives the exit code.
    EXPECT_EQ(BatchExitCode(results), kExitErrorOnSetup);
    // Progress lines carry their port.
    EXPECT_NE(progress.str().find("[COM1] Setup Complete"), std::string::npos) << progress.str();
    EXPECT_NE(progress.str().find("[COM2] ERROR ON SETUP"), std::string::npos);
    // Each converter got its own values.
    EXPECT_EQ(converters[0]->Session()["config"]["ip"], "10.1.0.1");
    EXPECT_EQ(converters[1]->Session()["config"]["ip"], "10.1.0.2");
    EXPECT_EQ(converters[2]->Session()["config"]["ip"], "10.1.0.3");
    EXPECT_EQ(converters[2]->Session()["config"]["remote"], "10.1.0.1");
    EXPECT_NE(ReadFile(logDir + "/01-" + LogFileName("COM1")).find("Exit without"),
              std::string::npos);
    EXPECT_FALSE(ReadFile(logDir + "/02-" + LogFileName("COM2")).empty());
}

// The converter's bytes reach the log file as visible escapes: a terminal showing the file
// later acts on none of them (OSC title, CSI query, the 8-bit CSI), while TAB stays as it is.
TEST(DownloadJob, LogFilesHoldControlCharactersEscaped) {
    TempFolder folder;
    const std::string path = folder.File("hostile.log");
    {
        FileMonitorLog log(path);
        const std::string received = "SOFTWARE\tVERSION \x1b]0;PWNED\x07\x1b[6n\x9b"
                                     "2J\x7f\xe9t\xe9";
        log.Add(received);
        EXPECT_EQ(log.Line(0), received); // the lines in memory stay as received
        EXPECT_EQ(log.Finish(), "");
    }
    EXPECT_EQ(ReadFile(path),
              "SOFTWARE\tVERSION \\x1b]0;PWNED\\x07\\x1b[6n\\x9b2J\\x7f\xe9t\xe9\n");
}

// A trace file on a full disk is said once, when its first buffer cannot be written; the
// download is not stopped for it.
TEST(DownloadJob, TraceOnAFullDiskIsSaidOnce) {
    TempFolder folder;
    const std::string path = folder.File("trace");
    ::testing::internal::CaptureStderr();
    {
        FullDisk full(1024); // room for the captured message, not for the trace
        comsetup::FileTrace trace(std::fopen(path.c_str(), "a"), path);
        for (int i = 0; i < 2000; ++i) {
            trace.OnSend(0x78, std::chrono::milliseconds(i));
        }
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    const auto told = err.find("COMSETUP_TRACE: " + path + ": could not be written completely");
    EXPECT_NE(told, std::string::npos) << err;
    EXPECT_EQ(err.find("COMSETUP_TRACE", told + 1), std::string::npos) << err;
}

} // namespace
