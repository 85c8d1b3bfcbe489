// Recording comsetup-cli's downloads in the journal.
#include "cli/journal_record.h"

#include "cli/download_job.h"
#include "cli/exit_codes.h"

#include "download/setup_rules.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace comsetup::cli {

namespace {

// The rows of the downloads running now, for an end at once.
std::mutex g_openLock;
std::vector<JournalRecord*> g_open; // guarded by g_openLock

} // namespace

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
    if (!entry_->Error().empty()) {
        return; // nothing can be written there, now or at an end at once
    }
    path_ = path;
    start_ = start;
    id_ = entry_->Id();
    std::lock_guard lock(g_openLock);
    g_open.push_back(this);
}

JournalRecord::~JournalRecord() {
    std::lock_guard lock(g_openLock);
    std::erase(g_open, this);
}

void JournalRecord::NoteLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    log_ += line + "\n";
}

void JournalRecord::NoteStage(const std::string& text) {
    std::lock_guard lock(mutex_);
    stage_ = text;
}

void JournalRecord::NoteFirmware(const std::string& firmware) {
    std::lock_guard lock(mutex_);
    firmware_ = firmware;
}

void JournalRecord::End(const DownloadResult& result) {
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
    {
        std::lock_guard lock(mutex_);
        end.log = log_;
        ending_ = end; // an end at once from now on writes this, not "terminated"
    }
    entry_->End(end);
    std::lock_guard lock(mutex_);
    ended_ = true;
}

void JournalRecord::EndAtOnce(int exitCode, const std::string& by,
                              std::chrono::steady_clock::time_point deadline) {
    config::JournalEnd end;
    std::int64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        if (ended_ || (ending_ && id_ == 0)) {
            return; // written, or being written by the download as a row of its own
        }
        id = id_;
        if (ending_) {
            end = *ending_; // the download has its verdict: that is what ended
        } else {
            end.firmware = firmware_.empty() ? "unknown" : firmware_;
            end.verdict = EndedAtOnceVerdict(exitCode);
            end.outcome = ExitCodeName(exitCode);
            end.exitCode = exitCode;
            end.cause = EndedAtOnceCause(by, stage_);
            end.log = log_;
        }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    try {
        // A connection of its own: the download's may be in use on its thread right now.
        const auto journal =
            config::Journal::Open(path_, static_cast<int>(std::max<long long>(0, left.count())));
        if (id == 0) {
            id = journal->Begin(start_); // the journal was locked when the download started
        }
        journal->Finish(id, end);
    } catch (const config::JournalError&) {
        // Locked or failing: the process ends all the same; the row says it did not finish.
    }
}

void FinishRowsEndedAtOnce(int exitCode, const std::string& by) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kEndAtOnceJournalWaitMs);
    std::lock_guard lock(g_openLock);
    for (JournalRecord* record : g_open) {
        record->EndAtOnce(exitCode, by, deadline);
    }
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
