// The journal row of one download of comsetup-cli: written when the download starts,
// completed when it ends. A journal that cannot be opened or written never stops the
// download: the reason is kept, once, for the verdict line and the JSON's journal_error.
#pragma once

#include "cli/profile.h"

#include <cstdint>
#include <memory>
#include <string>

namespace comsetup {
class MonitorLog;
}

namespace comsetup::config {
class JournalEntry;
}

namespace comsetup::cli {

struct DownloadResult;

// The plan row a download belongs to, if any.
struct PlanRowRef {
    std::string plan; // the plan's id, or ""
    int row = 0;
};

class JournalRecord {
public:
    // path "" records nothing.
    JournalRecord(const std::string& path, const std::string& frontEnd, const SetupProfile& setup,
                  const std::string& device, const PlanRowRef& planRow = {});
    ~JournalRecord();
    JournalRecord(const JournalRecord&) = delete;
    JournalRecord& operator=(const JournalRecord&) = delete;

    void End(const DownloadResult& result, const MonitorLog& log);

    const std::string& Error() const;
    std::int64_t Id() const;

private:
    std::unique_ptr<config::JournalEntry> entry_;
    std::string error_; // a journal named where this build has none
};

// The journal a command records in: none with --no-journal, --journal FILE when given, else
// COMSETUP_JOURNAL or the user's data folder. A build without the journal records only where
// one was named, and says there that it cannot.
std::string JournalPathFor(const std::string& named, bool none);

} // namespace comsetup::cli
