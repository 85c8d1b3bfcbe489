// A plan's converters in series on one port.
#include "cli/sequence.h"

#include "cli/batch.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/progress_line.h"
#include "cli/text_table.h"

#include "config/plan_journal.h"
#include "core/plain_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace comsetup::cli {

namespace {

// A line of the user's input; one read from a pipe or file is not echoed as a terminal
// echoes it, so its line end is written here and the next output starts a line.
std::optional<std::string> ReadAnswer(const SequenceOptions& options) {
    auto line = options.readLine();
    if (!options.inputIsTerminal) {
        *options.progressOut << std::endl;
    }
    return line;
}

// An answer typed or piped: case folded, blanks and a line end's CR cut.
std::string Answer(const std::string& text) {
    return Lower(Trim(text, " \t\r"));
}

// A guard that cannot look is no pass: without the journal, an address written to another
// converter before would go out again unasked.
std::string UnreadableJournalRefusal(const std::string& error) {
    return "the journal cannot be read (" + error +
           "), so addresses written before cannot be checked: --reuse-ip runs the plan "
           "without that check; nothing was sent";
}

// The journal's state of each row; all not tried when there is no journal to ask.
std::vector<config::RowState> RowStates(const config::Plan& plan, const SequenceOptions& options,
                                        SequenceResult& result) {
    std::vector<config::RowState> states(plan.rows.size(), config::RowState::NotTried);
    if (options.journalPath.empty()) {
        return states;
    }
    try {
        if (const auto journal = config::OpenJournalToRead(options.journalPath).journal) {
            states = config::PlanRowStates(*journal, plan);
        } // else nothing recorded there yet
    } catch (const config::JournalError& error) {
        result.journalError = error.what();
    }
    return states;
}

// The rows that run once addresses a converter was given before have been dealt with: asked
// about once for the plan on a terminal (a "no" skips those rows), allowed by reuseIp,
// refused otherwise. Nothing when the sequence must not start.
std::optional<std::vector<std::size_t>> RowsAfterReuseCheck(const config::Plan& plan,
                                                            const std::vector<std::size_t>& rows,
                                                            const SequenceOptions& options,
                                                            SequenceResult& result) {
    if (options.journalPath.empty() || !result.journalError.empty()) {
        return rows;
    }
    std::vector<config::AddressUsed> used;
    try {
        if (const auto journal = config::OpenJournalToRead(options.journalPath).journal) {
            used = config::AddressesUsedBefore(*journal, plan, rows);
        }
    } catch (const config::JournalError& error) {
        if (options.reuseIp) {
            result.journalError = error.what();
            return rows;
        }
        result.refused = UnreadableJournalRefusal(error.what());
        return std::nullopt;
    }
    if (used.empty()) {
        return rows;
    }
    std::ostream& out = *options.progressOut;
    if (options.reuseIp) {
        for (const auto& address : used) {
            out << address.question << " yes (--reuse-ip)" << std::endl;
        }
        return rows;
    }
    if (!options.inputIsTerminal) {
        std::string named;
        for (const auto& address : used) {
            named += (named.empty() ? "" : "\n") + address.question;
        }
        result.refused = named + "\nno terminal to ask on: --reuse-ip writes these addresses "
                                 "again; nothing was sent";
        return std::nullopt;
    }
    out << config::ReuseQuestion(used) << " [y/N] " << std::flush;
    const auto answer = ReadAnswer(options);
    if (answer && Answer(*answer) == "y") {
        return rows;
    }
    for (const auto& address : used) {
        for (SequenceRow& row : result.rows) {
            if (row.number == address.row) {
                row.verdict = RowVerdict::Skipped;
            }
        }
        out << "Converter " << address.row << " (" << address.ip
            << ") skipped: its address is not used again." << std::endl;
    }
    return config::RowsNotUsedBefore(plan, rows, used);
}

// The row's attempts until one completes, the user moves on, or the sequence is cancelled.
// False when the sequence stops here.
bool RunRow(const config::Plan& plan, std::size_t i, const SequenceOptions& options,
            SequenceRow& row) {
    std::ostream& out = *options.progressOut;
    const config::PlanRow& planRow = plan.rows[i];
    for (;;) {
        JobOptions job;
        job.progressOut = options.progressOut;
        job.reporter = options.reporter;
        job.journalPath = options.journalPath;
        job.frontEnd = "comsetup-cli sequence";
        job.plan = plan.id;
        job.planRow = planRow.number;
        job.lan = options.lan;
        if (!options.logDir.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "row%03d-%d.log", planRow.number, row.attempts + 1);
            job.logPath = options.logDir + "/" + name;
        }
        if (options.lineFor) {
            job.line = options.lineFor(i, row.attempts);
        }
        std::atomic<bool> cancel{false};
        row.result = RunDownloadJob(planRow.setup, job, cancel);
        ++row.attempts;
        const DownloadResult& r = *row.result;
        if (!r.written.empty() && !r.writtenShown) {
            out << "  " << r.written << std::endl;
        }
        // Set up but its log not written completely: the converter holds its setup, so it is
        // not offered again; the table and exit code say what is missing.
        if (r.exitCode == kExitComplete || r.exitCode == kExitLogIncomplete) {
            row.verdict = r.exitCode == kExitComplete ? RowVerdict::Done : RowVerdict::Failed;
            return true;
        }
        row.verdict = RowVerdict::Failed;
        if (r.exitCode == kExitCancelled || InterruptRequested()) {
            return false;
        }
        const std::string why = OneLine(r.cause.empty() ? r.error : r.cause);
        out << "Converter " << planRow.number << " (" << row.ip
            << ") failed: " << ExitCodeName(r.exitCode) << (why.empty() ? "" : " - " + why)
            << std::endl
            << "Retry? [Y/n] " << std::flush;
        const auto answer = ReadAnswer(options);
        if (!answer || Answer(*answer) == "q") {
            return false;
        }
        if (Answer(*answer) == "n") {
            return true;
        }
    }
}

const char* VerdictName(RowVerdict verdict) {
    switch (verdict) {
    case RowVerdict::Done:
        return "done";
    case RowVerdict::DoneBefore:
        return "done before";
    case RowVerdict::Failed:
        return "failed";
    case RowVerdict::Skipped:
        return "skipped";
    case RowVerdict::Interrupted:
        return "interrupted";
    case RowVerdict::NotRun:
        break;
    }
    return "not run";
}

} // namespace

SequenceResult RunSequence(const config::Plan& plan, const SequenceOptions& options) {
    std::ostream& out = *options.progressOut;
    SequenceResult result;
    for (const auto& planRow : plan.rows) {
        SequenceRow row;
        row.number = planRow.number;
        row.ip = config::FormatIpv4(planRow.setup.ip);
        result.rows.push_back(row);
    }
    const std::vector<config::RowState> states = RowStates(plan, options, result);
    if (!result.journalError.empty() && !options.reuseIp) {
        result.refused = UnreadableJournalRefusal(result.journalError);
        result.journalError.clear(); // said in the refusal
        return result;
    }
    if (!result.journalError.empty()) {
        out << "Journal: " << result.journalError << "; rows done before cannot be told, every "
            << "row is run." << std::endl;
    }
    // The plan window's rule: every row not done, done rows after it skipped as well.
    const std::vector<std::size_t> notDone = config::RowsToRun(states, options.all);
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        if (std::find(notDone.begin(), notDone.end(), i) == notDone.end()) {
            result.rows[i].verdict = RowVerdict::DoneBefore;
            out << "Converter " << plan.rows[i].number << " (" << result.rows[i].ip
                << ") is done already (journal); skipped, --all runs it again." << std::endl;
        }
    }
    const auto toRun = RowsAfterReuseCheck(plan, notDone, options, result);
    if (!toRun) {
        return result;
    }
    const std::string total = std::to_string(plan.rows.size());
    for (const std::size_t i : *toRun) {
        SequenceRow& row = result.rows[i];
        out << "Connect converter " << row.number << " of " << total << " (" << row.ip
            << ") and switch it off and on, then press Enter (q and Enter stops) " << std::flush;
        const auto line = ReadAnswer(options);
        if (!line || Lower(Trim(*line)) == "q" || InterruptRequested()) {
            out << "Stopped before converter " << row.number << "." << std::endl;
            break;
        }
        if (options.onRowStart) {
            options.onRowStart(result, i);
        }
        const bool goOn = RunRow(plan, i, options, row);
        if (options.onRowEnd) {
            options.onRowEnd(result);
        }
        if (!goOn) {
            out << "Stopped at converter " << row.number << "." << std::endl;
            break;
        }
    }
    for (const auto& row : result.rows) {
        if (row.result && !row.result->journalError.empty() &&
            row.result->journalError != result.journalError) {
            result.journalError = row.result->journalError;
        }
    }
    return result;
}

SequenceResult EndedAtOnce(SequenceResult sofar, std::optional<std::size_t> running,
                           const std::string& signal, const std::string& stage) {
    if (!running || *running >= sofar.rows.size()) {
        return sofar;
    }
    SequenceRow& row = sofar.rows[*running];
    DownloadResult ended = row.result.value_or(DownloadResult{}); // an earlier attempt's
    ended.exitCode = kExitTerminated;
    ended.verdict = EndedAtOnceVerdict(kExitTerminated);
    ended.error = EndedAtOnceCause(signal, stage);
    ended.cause.clear();
    ended.written.clear();
    row.verdict = RowVerdict::Interrupted;
    row.attempts = std::max(row.attempts, 1);
    row.result = ended;
    return sofar;
}

std::string SequenceTable(const SequenceResult& result) {
    std::vector<std::vector<std::string>> cells{{"row", "ip", "result", "exit", "verdict"}};
    bool lanChecked = false;
    for (const auto& row : result.rows) {
        lanChecked = lanChecked || (row.result && row.result->lan.checked);
    }
    if (lanChecked) {
        cells[0].insert(cells[0].begin() + 4, "LAN");
    }
    std::size_t done = 0;
    for (const auto& row : result.rows) {
        const bool complete =
            row.verdict == RowVerdict::Done || row.verdict == RowVerdict::DoneBefore;
        done += complete ? 1 : 0;
        std::string verdict;
        std::string exit = complete ? "0" : "-";
        if (row.result) {
            const DownloadResult& r = *row.result;
            verdict = OneLine(r.verdict);
            for (const std::string& more : {r.error, r.cause, r.logError}) {
                if (!more.empty()) {
                    verdict += (verdict.empty() ? "" : " - ") + OneLine(more);
                }
            }
            if (row.attempts > 1) {
                verdict += " (" + std::to_string(row.attempts) + " attempts)";
            }
            exit = std::to_string(r.exitCode);
        }
        cells.push_back({std::to_string(row.number), row.ip, VerdictName(row.verdict), exit,
                         verdict.empty() ? "-" : verdict});
        if (lanChecked) {
            cells.back().insert(cells.back().begin() + 4,
                                row.result ? LanCell(row.result->lan) : "-");
        }
    }
    return AlignedColumns(cells) + std::to_string(done) + " of " +
           std::to_string(result.rows.size()) + " converters done\n";
}

nlohmann::json SequenceJson(const config::Plan& plan, const SequenceResult& result) {
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& row : result.rows) {
        rows.push_back({{"row", row.number},
                        {"ip", row.ip},
                        {"result", VerdictName(row.verdict)},
                        {"attempts", row.attempts},
                        {"download", row.result ? ResultToJson(*row.result) : nlohmann::json()}});
    }
    nlohmann::json json{{"plan", plan.name},
                        {"plan_id", plan.id},
                        {"rows", rows},
                        {"exit_code", SequenceExitCode(result)}};
    json["refused"] = result.refused.empty() ? nlohmann::json() : nlohmann::json(result.refused);
    json["journal_error"] =
        result.journalError.empty() ? nlohmann::json() : nlohmann::json(result.journalError);
    return json;
}

int SequenceExitCode(const SequenceResult& result) {
    if (!result.refused.empty()) {
        return kExitBadArguments;
    }
    for (const auto& row : result.rows) {
        switch (row.verdict) {
        case RowVerdict::Done:
        case RowVerdict::DoneBefore:
            continue;
        case RowVerdict::Failed:
        case RowVerdict::Interrupted:
            return row.result ? row.result->exitCode : kExitErrorOnSetup;
        case RowVerdict::Skipped: // declined at the question: not written, on purpose
        case RowVerdict::NotRun:
            return kExitCancelled;
        }
    }
    return kExitComplete;
}

} // namespace comsetup::cli
