// The journal command of comsetup-cli.
#include "cli/journal_command.h"

#include "cli/exit_codes.h"
#include "cli/journal_record.h"
#include "cli/text_table.h"

#include "core/printable_text.h"

#include "config/config_files.h"
#include "config/journal.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iomanip>
#include <sstream>

namespace comsetup::cli {

namespace {

std::string Outcome(const config::JournalRow& row) {
    return row.endedUtc.empty() ? "did not finish" : row.end.outcome;
}

// One line per download, newest first, columns as wide as their widest entry.
std::string RowsTable(const std::vector<config::JournalRow>& rows) {
    std::vector<std::vector<std::string>> cells{
        {"ID", "STARTED (UTC)", "PORT", "MODE", "IP", "MAC", "FIRMWARE", "OUTCOME"}};
    for (const auto& row : rows) {
        cells.push_back(
            {std::to_string(row.id), row.startedUtc, PrintableDeviceName(row.start.setup.port),
             config::ModeName(row.start.setup.mode), config::FormatIpv4(row.start.setup.ip),
             row.end.lan && !row.end.lan->mac.empty() ? row.end.lan->mac : "-",
             row.end.firmware.empty() ? "-" : row.end.firmware, Outcome(row)});
    }
    return AlignedColumns(cells);
}

std::string RowText(const config::JournalRow& row) {
    const auto& s = row.start.setup;
    std::ostringstream text;
    const auto line = [&text](const char* key, const std::string& value) {
        text << std::left << std::setw(11) << key << (value.empty() ? "-" : value) << "\n";
    };
    line("download", std::to_string(row.id));
    line("started", row.startedUtc);
    line("ended", row.endedUtc.empty() ? "did not finish" : row.endedUtc);
    line("by", row.start.frontEnd + " " + row.start.version);
    line("port",
         PrintableDeviceName(s.port) + (row.start.device != s.port
                                            ? " (" + PrintableDeviceName(row.start.device) + ")"
                                            : ""));
    line("mode", config::ModeName(s.mode) + (s.master ? ", master side" : ""));
    line("address", config::FormatIpv4(s.ip) + " mask " + config::FormatIpv4(s.mask) + " port " +
                        std::to_string(s.localPort));
    line("gateway", s.gateway ? config::FormatIpv4(*s.gateway) : "none");
    line("serial", std::to_string(s.baud) + " baud, parity " + config::ParityName(s.parityIndex) +
                       ", " + config::StopBitName(s.stopBitsIndex) + " stop bit(s), flow " +
                       config::FlowName(s.flowIndex));
    line("peer sent", row.start.peerSent.empty()
                          ? std::string()
                          : row.start.peerSent + " port " + std::to_string(s.remotePort));
    line("firmware", row.end.firmware);
    line("verdict", row.end.verdict);
    line("outcome",
         Outcome(row) +
             (row.end.exitCode ? " (exit " + std::to_string(*row.end.exitCode) + ")" : ""));
    line("cause", row.end.cause);
    line("written", row.end.written);
    if (!row.start.plan.empty()) {
        // The plan's id is its file name (older rows: and a hash of its text); a hand-edited
        // one is shown escaped like any other stored text.
        line("plan", EscapeLogText(row.start.plan) + ", row " + std::to_string(row.start.planRow));
    }
    text << "log:\n" << EscapeLogText(row.end.log);
    return text.str();
}

} // namespace

int RunJournalCommand(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    config::JournalToRead found;
    try {
        found = config::OpenJournalToRead(JournalPathFor(arguments.journalPath, false));
    } catch (const config::JournalError& error) {
        err << "comsetup-cli: journal: " << error.what() << std::endl;
        return kExitBadArguments;
    }
    const std::string& path = found.path;
    if (path.empty()) {
        err << "comsetup-cli: journal: no place for the journal is known (set HOME, "
               "XDG_DATA_HOME or COMSETUP_JOURNAL, or give --journal FILE)"
            << std::endl;
        return kExitBadArguments;
    }
    if (!found.journal) {
        // Reading creates nothing: no journal means no download was recorded there.
        if (arguments.json) {
            out << "[]" << std::endl;
        } else {
            err << "comsetup-cli: journal: " << PrintableDeviceName(path)
                << ": no downloads recorded yet" << std::endl;
        }
        return arguments.journalAction == JournalAction::Show ? kExitBadArguments : kExitComplete;
    }
    try {
        const config::Journal* journal = found.journal.get();
        if (arguments.journalAction == JournalAction::Show) {
            const auto row = journal->Get(arguments.showId);
            if (!row) {
                err << "comsetup-cli: journal: no download " << arguments.showId << " in "
                    << PrintableDeviceName(path) << std::endl;
                return kExitBadArguments;
            }
            if (arguments.json) {
                out << config::JournalJson({*row})[0].dump(2, ' ', false,
                                                           nlohmann::json::error_handler_t::replace)
                    << std::endl;
            } else {
                out << RowText(*row);
            }
            return kExitComplete;
        }
        config::JournalFilter filter;
        filter.since = arguments.since;
        filter.ip = arguments.ip;
        filter.port = arguments.port;
        filter.outcome = arguments.outcome;
        const bool exporting = arguments.journalAction == JournalAction::Export;
        filter.limit = arguments.limit >= 0 ? arguments.limit : exporting ? 0 : 50;
        const auto rows = journal->List(filter);
        if (exporting && !arguments.csvPath.empty()) {
            config::WriteFileAtomically(arguments.csvPath, config::JournalCsv(rows));
            err << "comsetup-cli: journal: " << rows.size()
                << (rows.size() == 1 ? " download" : " downloads") << " written to "
                << PrintableDeviceName(arguments.csvPath) << std::endl;
        } else if (arguments.json) {
            out << config::JournalJson(rows).dump(2, ' ', false,
                                                  nlohmann::json::error_handler_t::replace)
                << std::endl;
        } else {
            out << RowsTable(rows);
            if (rows.empty()) {
                err << "comsetup-cli: journal: no download recorded in "
                    << PrintableDeviceName(path) << " matches" << std::endl;
            }
        }
        return kExitComplete;
    } catch (const config::JournalError& error) {
        err << "comsetup-cli: journal: " << error.what() << std::endl;
    } catch (const config::ValueError& error) {
        err << "comsetup-cli: journal export: " << error.what() << std::endl;
    }
    return kExitBadArguments;
}

} // namespace comsetup::cli
