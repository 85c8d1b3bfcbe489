// The sequence command: a plan's converters one after another on one port. Before the first
// unit the plan is read whole and checked, rows the journal has as done are skipped (unless
// all; config::RowsToRun, the plan window's rule), and addresses written to a converter
// before are asked about once (a "no" skips those rows). Then each unit waits
// for Enter ("q" stops), runs the same download as the download command, and a failed one
// is offered again. A table of rows, addresses and verdicts ends it.
#pragma once

#include "cli/download_job.h"

#include "config/plan.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace comsetup::cli {

// One line of the user's input without its line end; nothing at the end of the input (or
// when the user interrupted the wait).
using LineReader = std::function<std::optional<std::string>()>;

struct SequenceOptions {
    LineReader readLine;
    bool inputIsTerminal = false;        // the input is a terminal: addresses used before are asked
    bool reuseIp = false;                // write addresses used before without asking
    bool all = false;                    // run rows the journal has as done, too
    std::ostream* progressOut = nullptr; // prompts, progress and notes
    ReporterOptions reporter;
    std::string journalPath; // where the rows' downloads are recorded and looked up, or ""
    std::string logDir;      // one monitor log per attempt, or ""

    config::LanCheckOptions lan; // the LAN check of every unit
    // The line of each attempt (tests); unset: the port component and real-time pacer.
    std::function<JobLine(std::size_t row, int attempt)> lineFor;
    // Told the results so far before each row's download (with the row's index) and after it
    // (for the report of a SIGTERM), when set.
    std::function<void(const struct SequenceResult&, std::size_t row)> onRowStart;
    std::function<void(const struct SequenceResult&)> onRowEnd;
};

enum class RowVerdict {
    Done,        // completed now
    DoneBefore,  // skipped: the journal has it as done
    Failed,      // the last attempt did not complete
    Skipped,     // its address was written before, and the user said not to use it again
    NotRun,      // the sequence stopped before it
    Interrupted, // the process was ended at once while it ran (only in the report of that end)
};

struct SequenceRow {
    int number = 0;
    std::string ip;
    RowVerdict verdict = RowVerdict::NotRun;
    int attempts = 0;
    std::optional<DownloadResult> result; // of the last attempt
};

struct SequenceResult {
    std::vector<SequenceRow> rows;
    std::string refused;      // why nothing was run (addresses used before), or ""
    std::string journalError; // the journal could not be read or written, said once
};

SequenceResult RunSequence(const config::Plan& plan, const SequenceOptions& options);

// The results so far as the report of an end at once (SIGTERM) gives them: the row whose
// download ran ends as interrupted by signal at stage.
SequenceResult EndedAtOnce(SequenceResult sofar, std::optional<std::size_t> running,
                           const std::string& signal, const std::string& stage);

// One line per row: row, IP, result, exit code, verdict; then how many are done.
std::string SequenceTable(const SequenceResult& result);
nlohmann::json SequenceJson(const config::Plan& plan, const SequenceResult& result);

// As batch: 0 when every row is done, else the code of the first row that is not (a row the
// sequence stopped before, or one skipped at the question, counts as cancelled); 2 when the
// plan was refused.
int SequenceExitCode(const SequenceResult& result);

} // namespace comsetup::cli
