// The journal row of one download of comsetup-cli: written when the download starts,
// completed when it ends. A journal that cannot be opened or written never stops the
// download: the reason is kept, once, for the verdict line and the JSON's journal_error.
//
// A process ended at once (SIGTERM, SIGHUP, a second Ctrl+C) cannot wait for its downloads
// to end: the row keeps what the download has brought so far (the log, the firmware, the
// stage it is at), and FinishRowsEndedAtOnce writes that, from the thread that ends the
// process, into every row still open, so that none is left as one that did not finish.
#pragma once

#include "cli/profile.h"

#include "config/journal.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace comsetup::cli {

struct DownloadResult;

// The plan row a download belongs to, if any.
struct PlanRowRef {
    std::string plan; // the plan's id, or ""
    int row = 0;
};

// How long an end at once waits for a locked journal, for all its rows together: a locked
// journal must not keep the process from ending.
inline constexpr int kEndAtOnceJournalWaitMs = 1000;

class JournalRecord {
public:
    // path "" records nothing.
    JournalRecord(const std::string& path, const std::string& frontEnd, const SetupProfile& setup,
                  const std::string& device, const PlanRowRef& planRow = {});
    ~JournalRecord();
    JournalRecord(const JournalRecord&) = delete;
    JournalRecord& operator=(const JournalRecord&) = delete;

    // What the download has brought so far; from the download's thread.
    void NoteLine(const std::string& line); // a line of the saved log
    void NoteStage(const std::string& text);
    void NoteFirmware(const std::string& firmware);

    // Completes the row with result and the lines noted.
    void End(const DownloadResult& result);

    const std::string& Error() const;
    std::int64_t Id() const;

private:
    friend void FinishRowsEndedAtOnce(int exitCode, const std::string& by);
    // Writes the row as ended at once unless the download has completed it already; waits for
    // a lock until deadline at most.
    void EndAtOnce(int exitCode, const std::string& by,
                   std::chrono::steady_clock::time_point deadline);

    std::unique_ptr<config::JournalEntry> entry_;
    std::string error_; // a journal named where this build has none

    // Shared with the thread that ends the process at once.
    std::mutex mutex_;
    std::string path_;
    config::JournalStart start_;
    std::int64_t id_ = 0; // the row begun at the start, or 0 (none, or deferred)
    std::string log_;
    std::string stage_;
    std::string firmware_;
    std::optional<config::JournalEnd> ending_; // the download's own end, once it writes it
    bool ended_ = false;                       // the download's own end is written
};

// Completes every row still open as ended at once: outcome and exit code of exitCode, the
// cause "ended at once by <by> during <stage>". Thread-safe; returns within
// kEndAtOnceJournalWaitMs (and what writing takes).
void FinishRowsEndedAtOnce(int exitCode, const std::string& by);

// The journal a command records in: none with --no-journal, --journal FILE when given, else
// COMSETUP_JOURNAL or the user's data folder. A build without the journal records only where
// one was named, and says there that it cannot.
std::string JournalPathFor(const std::string& named, bool none);

} // namespace comsetup::cli
