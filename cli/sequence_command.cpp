// Running a plan from the command line.
#include "cli/sequence_command.h"

#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/journal_record.h"
#include "cli/platform.h"
#include "cli/sequence.h"
#include "config/value_rules.h"
#include "core/printable_text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>

namespace comsetup::cli {

namespace {

// Each line of text (lines end at '\n') as a line of its own after the program's name.
void PrintPrefixed(std::ostream& err, const std::string& text) {
    for (std::size_t start = 0; start < text.size();) {
        const auto end = std::min(text.find('\n', start), text.size());
        err << "comsetup-cli: " << text.substr(start, end - start) << "\n";
        start = end + 1;
    }
}

} // namespace

int RunSequenceCommand(const Arguments& arguments, std::ostream& out, std::ostream& err,
                       const ConsoleInfo& console) {
    config::Plan plan;
    try {
        plan = config::LoadPlanFile(arguments.planPath, arguments.setup);
        if (std::find(plan.columns.begin(), plan.columns.end(), "port") != plan.columns.end()) {
            throw ValueError(PrintableDeviceName(arguments.planPath) +
                             ": the port column: a sequence sets up every "
                             "converter on --port; remove the column");
        }
        if (!arguments.logDir.empty() && !std::filesystem::is_directory(arguments.logDir)) {
            throw ValueError("--log-dir: " + PrintableDeviceName(arguments.logDir) +
                             " is not a folder");
        }
    } catch (const ValueError& error) {
        PrintPrefixed(err, error.what());
        err << "comsetup-cli: nothing was sent" << std::endl;
        return kExitBadArguments;
    }
    for (const auto& row : plan.rows) {
        for (const std::string& warning : CheckSetupValues(row.setup).warnings) {
            err << "comsetup-cli: warning: " << PrintableDeviceName(plan.name) << " line "
                << row.line << ", " << warning << std::endl;
        }
    }

    // With --json the result owns standard output; prompts and progress go to standard error.
    std::ostream& progress = arguments.json ? err : out;
    const bool terminal = arguments.json ? console.errIsTerminal : console.outIsTerminal;
    InterruptHandler interrupts;
    std::mutex lock;
    // The rows so far, the row whose download runs and what it shows, for a SIGTERM's report.
    SequenceResult partial;
    std::optional<std::size_t> running;
    std::string stage;
    TerminationReport terminated([&](const char* signal) {
        progress << std::endl;
        err << "comsetup-cli: terminated by " << signal << ": ended at once, port closed."
            << std::endl;
        std::lock_guard guard(lock);
        const SequenceResult ended = EndedAtOnce(partial, running, signal, stage);
        out << (arguments.json ? SequenceJson(plan, ended).dump(2) + "\n"
                               : "\n" + SequenceTable(ended));
    });

    SequenceOptions options;
    options.readLine = ReadInputLine;
    options.inputIsTerminal = console.inIsTerminal;
    options.reuseIp = arguments.reuseIp;
    options.all = arguments.all;
    options.progressOut = &progress;
    options.reporter.live = terminal && !arguments.plain && std::getenv("TERM") != nullptr &&
                            std::string(std::getenv("TERM")) != "dumb";
    options.reporter.width = console.width;
    options.reporter.streamName = arguments.json ? "standard error" : "standard output";
    if (arguments.json) {
        options.reporter.resultOutputLost = StandardOutputLost;
    }
    options.journalPath = JournalPathFor(arguments.journalPath, arguments.noJournal);
    options.logDir = arguments.logDir;
    options.lan = arguments.lan;
    options.reporter.onText = [&](const std::string& text) {
        std::lock_guard guard(lock);
        stage = text;
    };
    options.onRowStart = [&](const SequenceResult& sofar, std::size_t row) {
        std::lock_guard guard(lock);
        partial = sofar;
        running = row;
        stage.clear();
    };
    options.onRowEnd = [&](const SequenceResult& sofar) {
        std::lock_guard guard(lock);
        partial = sofar;
        running.reset();
    };
    progress << "Plan " << PrintableDeviceName(plan.name) << ": " << plan.rows.size()
             << " converters on " << arguments.setup.port << "; Ctrl+C cancels." << std::endl;
    const SequenceResult result = RunSequence(plan, options);
    terminated.ClaimOutput();
    if (!result.refused.empty()) {
        PrintPrefixed(err, result.refused);
        err << std::flush;
    }
    if (!result.journalError.empty()) {
        err << "comsetup-cli: journal: " << result.journalError << std::endl;
    }
    if (arguments.json) {
        out << SequenceJson(plan, result).dump(2) << std::endl;
    } else if (result.refused.empty()) { // nothing ran: the refusal says it all
        out << "\n" << SequenceTable(result) << std::flush;
    }
    return SequenceExitCode(result);
}

} // namespace comsetup::cli
