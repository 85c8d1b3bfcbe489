// Recording comsetup-cli's downloads in the journal.
#include "cli/journal_record.h"

#include "cli/download_job.h"
#include "cli/exit_codes.h"

#include "download/setup_rules.h"

#include "config/journal.h"

#include <cstdlib>

namespace comsetup::cli {

JournalRecord::JournalRecord(const std::string& path, const std::string& frontEnd,
                             const SetupProfile& setup, const std::string& device,
                             const PlanRowRef& planRow) {
    if (path.empty()) {
        return;
    }
    config::JournalStart start;
    start.frontEnd = frontEnd;
    start.version = COMSETUP_VERSION;
    start.device = device;
    start.setup = setup;
    start.plan = planRow.plan;
    start.planRow = planRow.row;
    const SetupValues values = ToSetupValues(setup);
    if (values.tunnel) {
        start.peerSent = FormatIpv4(values.remote);
    }
    entry_ = std::make_unique<config::JournalEntry>(path, start);
}

JournalRecord::~JournalRecord() = default;

void JournalRecord::End(const DownloadResult& result, const MonitorLog& log) {
    if (!entry_) {
        return;
    }
    config::JournalEnd end;
    end.firmware = result.firmware;
    end.verdict = result.verdict;
    end.outcome = ExitCodeName(result.exitCode);
    end.exitCode = result.exitCode;
    end.cause = result.cause.empty() ? result.error : result.cause;
    end.written = result.written;
    if (!result.found.empty()) {
        end.portFound = result.found; // "auto" found this port: the row names it
        end.deviceFound = result.device;
    }
    if (result.lan.checked) {
        config::JournalLan lan;
        lan.answered = result.lan.after.Found();
        if (result.lan.after.probe.mac) {
            lan.mac = lan::FormatMac(*result.lan.after.probe.mac);
        }
        lan.tcp = config::TcpStateName(result.lan.after.probe.tcp);
        lan.waitedMs = result.lan.after.waitedMs;
        end.lan = lan;
    }
    for (int i = 0; i < log.Count(); ++i) {
        end.log += log.Line(i) + "\n";
    }
    entry_->End(end);
}

const std::string& JournalRecord::Error() const {
    return entry_ ? entry_->Error() : error_;
}

std::int64_t JournalRecord::Id() const {
    return entry_ ? entry_->Id() : 0;
}

std::string JournalPathFor(const std::string& named, bool none) {
    if (none) {
        return {};
    }
    return named.empty() ? config::DefaultJournalPath() : named;
}

} // namespace comsetup::cli
