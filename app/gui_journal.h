// The wizard's downloads in the journal, as comsetup-cli records its own: a row begun before
// the port is opened, completed with the verdict. A journal that cannot be used never stops a
// download: the first such fault is said under the verdict and in the log, once while the program
// runs.
#pragma once

#include "config/journal.h"
#include "config/setup_options.h"
#include "download/driver.h"
#include "download/saved_log.h"

#include <memory>
#include <optional>
#include <string>

namespace comsetup {

namespace config {
class JournalEntry;
}

// The profile a download's values came from, as the command line would name it. mode: the
// wizard's page (1 to 3), or 0 to tell it from the tunnel and broadcast choices.
config::SetupProfile ProfileOfValues(const SetupValues& values, int mode);

// The row of a plan (config/plan.h PlanId) a download writes, so that the plan window can tell
// which rows are done; an empty id for a download of no plan.
struct JournalPlanRow {
    std::string planId;
    int row = 0;
};

class GuiJournalRecord {
public:
    // setup: the profile the download writes; values: what it sends (the peer actually sent).
    GuiJournalRecord(const config::SetupProfile& setup, const SetupValues& values,
                     const JournalPlanRow& planRow);
    ~GuiJournalRecord();
    GuiJournalRecord(const GuiJournalRecord&) = delete;
    GuiJournalRecord& operator=(const GuiJournalRecord&) = delete;

    // The end of the download: its outcome (nothing when it ended by an error) and its log as
    // kept (every byte the converter sent). The verdict is the outcome's own text, whatever
    // the dialog shows meanwhile.
    void End(const SetupDownload& download, std::optional<DownloadOutcome> outcome,
             KeptMonitorLog& log);

    // The LAN check after the write, recorded with the end (the wizard's box was ticked).
    void SetLan(bool answered, const std::string& mac, const std::string& tcp, int waitedMs);

    // The fault to tell the user, once while the program runs; empty when there is none or it was
    // told.
    std::string FaultToTell();

private:
    std::unique_ptr<config::JournalEntry> entry_;
    std::optional<config::JournalLan> lan_;
    std::string portGiven_; // "Auto" is replaced by the port it found
};

} // namespace comsetup
