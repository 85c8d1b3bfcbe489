// The commands of comsetup-cli.
#include "cli/command_runner.h"

#include "cli/arguments.h"
#include "cli/batch.h"
#include "cli/download_job.h"
#include "cli/dry_run.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/journal_command.h"
#include "cli/journal_record.h"
#include "cli/list_ports.h"
#include "cli/platform.h"
#include "cli/profile.h"
#include "cli/progress_line.h"
#include "cli/sequence_command.h"

#include "core/printable_text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace comsetup::cli {

namespace {

// Values that are sent as given although they are unusual: one warning line each.
void WarnOfUnusualValues(const SetupProfile& setup, const std::string& where, std::ostream& err) {
    for (const std::string& warning : CheckSetupValues(setup).warnings) {
        err << "comsetup-cli: warning: " << where << warning << std::endl;
    }
}

// A journal named with --journal lives where it is named: its folder is not made up.
std::string JournalFolderRefusal(const Arguments& arguments) {
    if (arguments.journalPath.empty() || arguments.noJournal) {
        return {};
    }
    const auto folder = std::filesystem::path(arguments.journalPath).parent_path();
    std::error_code ignored;
    if (folder.empty() || std::filesystem::is_directory(folder, ignored)) {
        return {};
    }
    return "--journal: " + PrintableDeviceName(arguments.journalPath) + ": the folder " +
           PrintableDeviceName(folder.string()) +
           " does not exist (a journal named here is not given a folder of its own); " +
           // Said of what the command was to do: a reader sends nothing to begin with.
           (arguments.command != Command::Journal              ? "nothing was sent"
            : arguments.journalAction == JournalAction::Export ? "nothing was exported"
                                                               : "nothing was read");
}

// Where the result goes when standard output could not take it: standard error.
void WriteResult(const std::string& text, std::ostream& out, std::ostream& err) {
    out << text << std::flush;
    if (!out) {
        err << text << std::flush;
    }
}

// A progress output that could not be written never showed the verdict, and cancelled the
// download if it was still running: both are said on standard error.
void ReportLostProgress(const DownloadResult& result, std::ostream& err) {
    if (result.outputError.empty()) {
        return;
    }
    err << "comsetup-cli: " << result.port << ": " << result.outputError
        << (result.exitCode == kExitCancelled ? ": cancelled as by Ctrl+C" : "") << std::endl;
    if (!result.verdict.empty()) {
        err << "comsetup-cli: " << result.port << ": " << OneLine(result.verdict) << std::endl;
    }
    if (!result.written.empty()) {
        err << "  " << result.written << std::endl;
    }
}

bool LiveAllowed() {
    const char* term = std::getenv("TERM");
    return term == nullptr || std::string(term) != "dumb";
}

int RunDownload(const Arguments& arguments, std::ostream& out, std::ostream& err,
                const ConsoleInfo& console) {
    // With --json the result owns standard output; progress goes to standard error.
    std::ostream& progress = arguments.json ? err : out;
    const bool terminal = arguments.json ? console.errIsTerminal : console.outIsTerminal;

    InterruptHandler interrupts;
    ResultBoard board({arguments.setup});
    TerminationReport terminated([&](const char* signal) {
        const DownloadResult result = board.Snapshot(signal).front();
        progress << std::endl;
        err << "comsetup-cli: " << result.port << ": terminated by " << signal
            << ": ended at once, port closed." << std::endl;
        if (arguments.json) {
            out << ResultToJson(result).dump(2) << std::endl;
        }
    });
    std::atomic<bool> cancel{false};
    JobOptions job;
    job.progressOut = &progress;
    job.reporter.onText = [&board](const std::string& text) { board.Progress(0, text); };
    job.reporter.live = terminal && !arguments.plain && LiveAllowed();
    job.reporter.width = console.width;
    job.reporter.streamName = arguments.json ? "standard error" : "standard output";
    if (arguments.json) {
        job.reporter.resultOutputLost = StandardOutputLost;
    }
    job.logPath = arguments.logPath;
    job.journalPath = JournalPathFor(arguments.journalPath, arguments.noJournal);
    // COMSETUP_TRACE=FILE ("-": standard error) records every byte and pause with its time.
    const std::unique_ptr<DownloadTrace> trace = TraceFromEnvironment();
    job.trace = trace.get();
    job.lan = arguments.lan;
    if (!arguments.json) {
        progress << "Download to " << arguments.setup.port << ": switch the converter off and "
                 << "on when asked; Ctrl+C cancels." << std::endl;
    }
    const DownloadResult result = RunDownloadJob(arguments.setup, job, cancel);
    if (!result.written.empty() && !result.writtenShown) {
        progress << "  " << result.written << std::endl; // below "Setup Complete"
    }
    if (!result.found.empty() && !arguments.json) {
        progress << "Converter found on " << result.found
                 << (result.device != result.found ? " (" + PrintableDeviceName(result.device) + ")"
                                                   : "")
                 << std::endl;
    }
    terminated.ClaimOutput();
    ReportLostProgress(result, err);
    if (!result.error.empty()) {
        err << "comsetup-cli: " << result.port << ": " << result.error << std::endl;
    }
    if (!result.logError.empty()) {
        err << "comsetup-cli: " << result.logError << std::endl;
    }
    if (!result.journalError.empty()) {
        err << "comsetup-cli: journal: " << result.journalError << std::endl;
    }
    if (arguments.json) {
        WriteResult(ResultToJson(result).dump(2) + "\n", out, err);
    }
    return result.exitCode;
}

int RunBatchCommand(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    std::vector<SetupProfile> setups;
    try {
        setups = LoadBatchFile(arguments.batchPath);
        if (!arguments.logDir.empty() && !std::filesystem::is_directory(arguments.logDir)) {
            throw ValueError("--log-dir: " + PrintableDeviceName(arguments.logDir) +
                             " is not a folder");
        }
    } catch (const ValueError& error) {
        err << "comsetup-cli: " << error.what() << std::endl;
        return kExitBadArguments;
    }
    for (std::size_t i = 0; i < setups.size(); ++i) {
        WarnOfUnusualValues(setups[i], "download " + std::to_string(i + 1) + ": ", err);
    }
    InterruptHandler interrupts;
    std::ostream& progress = arguments.json ? err : out;
    ResultBoard board(setups);
    const auto printResults = [&](const std::vector<DownloadResult>& results) {
        if (arguments.json) {
            nlohmann::json list = nlohmann::json::array();
            for (const auto& result : results) {
                list.push_back(ResultToJson(result));
            }
            WriteResult(list.dump(2) + "\n", out, err);
        } else {
            WriteResult("\n" + ResultsTable(results), out, err);
        }
    };
    TerminationReport terminated([&](const char* signal) {
        progress << std::endl;
        err << "comsetup-cli: terminated by " << signal
            << ": every download ended at once, ports closed." << std::endl;
        printResults(board.Snapshot(signal));
    });
    progress << "Batch of " << setups.size()
             << " downloads: switch the converters off and on when asked; Ctrl+C cancels."
             << std::endl;
    BatchOptions options;
    options.progressOut = &progress;
    options.progressName = arguments.json ? "standard error" : "standard output";
    if (arguments.json) {
        options.resultOutputLost = StandardOutputLost;
    }
    options.logDir = arguments.logDir;
    options.journalPath = JournalPathFor(arguments.journalPath, arguments.noJournal);
    options.board = &board;
    options.lan = arguments.lan;
    const auto results = RunBatch(setups, options);
    terminated.ClaimOutput();
    // A progress output that failed is in the table, which goes to standard error if standard
    // output is the one that failed.
    std::string journalTold; // one journal fault is said once, not once per download
    for (const auto& result : results) {
        if (!result.logError.empty()) {
            err << "comsetup-cli: " << result.port << ": " << result.logError << std::endl;
        }
        if (!result.journalError.empty() && result.journalError != journalTold) {
            journalTold = result.journalError;
            err << "comsetup-cli: journal: " << result.journalError << std::endl;
        }
    }
    printResults(results);
    return BatchExitCode(results);
}

} // namespace

ConsoleInfo DetectConsole() {
    ConsoleInfo console;
    console.outIsTerminal = OutputIsTerminal(false);
    console.errIsTerminal = OutputIsTerminal(true);
    console.inIsTerminal = InputIsTerminal();
    if (const int columns = TerminalColumns(!console.outIsTerminal); columns > 0) {
        console.width = columns;
    } else if (const char* columns = std::getenv("COLUMNS")) {
        console.width = std::max(20, std::atoi(columns));
    }
    // Leave the last column free: writing into it makes some terminals wrap early.
    console.width = std::max(20, console.width - 1);
    return console;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const ConsoleInfo& console) {
    const ParsedCommandLine parsed = ParseCommandLine(args);
    out << parsed.out;
    err << parsed.err;
    if (!parsed.arguments) {
        return parsed.exitCode;
    }
    const Arguments& arguments = *parsed.arguments;
    try {
        if (!arguments.saveConfigPath.empty()) {
            SaveSetupFile(arguments.saveConfigPath, arguments.setup);
        }
    } catch (const ValueError& error) {
        err << "comsetup-cli: --save-config: " << error.what() << std::endl;
        return kExitBadArguments;
    }
    if (arguments.command == Command::Download || arguments.command == Command::DryRun) {
        WarnOfUnusualValues(arguments.setup, "", err);
    }
    if (const std::string refusal = JournalFolderRefusal(arguments); !refusal.empty()) {
        err << "comsetup-cli: " << refusal << std::endl;
        return kExitBadArguments;
    }
    const bool records = arguments.command == Command::Download ||
                         arguments.command == Command::Batch ||
                         arguments.command == Command::Sequence;
    if (records && !arguments.noJournal && JournalPathFor(arguments.journalPath, false).empty()) {
        err << "comsetup-cli: journal: no place for the journal is known (set HOME, "
               "XDG_DATA_HOME or COMSETUP_JOURNAL, or give --journal FILE): nothing is recorded"
            << std::endl;
    }
    try {
        switch (arguments.command) {
        case Command::Download:
            return RunDownload(arguments, out, err, console);
        case Command::DryRun:
            out << DryRunListing(ToSetupValues(arguments.setup),
                                 *ParseFirmware(arguments.firmware));
            return kExitComplete;
        case Command::ListPorts:
            out << (arguments.json ? PortListJson().dump(2) + "\n" : PortListText());
            return kExitComplete;
        case Command::Batch:
            return RunBatchCommand(arguments, out, err);
        case Command::Journal:
            return RunJournalCommand(arguments, out, err);
        case Command::Sequence:
            return RunSequenceCommand(arguments, out, err, console);
        }
    } catch (const std::exception& error) {
        err << "comsetup-cli: " << error.what() << std::endl;
        return kExitInternalError;
    }
    return kExitInternalError;
}

} // namespace comsetup::cli
