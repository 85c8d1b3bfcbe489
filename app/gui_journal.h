// The wizard's downloads in the journal, as comsetup-cli records its own: a row begun before
// the port is opened, completed with the verdict. A journal that cannot be used never stops a
// download: the first such fault is said under the verdict and in the log, once while the program
// runs.
#pragma once

#include "config/setup_options.h"
#ifdef COMSETUP_HAVE_JOURNAL
#include "config/journal.h"
#endif
#include "download/driver.h"

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

// While one lives, the downloads recorded are the given row of a plan (config/plan.h PlanId),
// so that the plan window can tell which rows are done.
class ScopedJournalPlanRow {
public:
    ScopedJournalPlanRow(std::string planId, int row);
    ~ScopedJournalPlanRow();
    ScopedJournalPlanRow(const ScopedJournalPlanRow&) = delete;
    ScopedJournalPlanRow& operator=(const ScopedJournalPlanRow&) = delete;
};

class GuiJournalRecord {
public:
    // mode: the wizard's page (1 to 3), or 0 when the main window's values were sent as they
    // stand (the mode is then told from the tunnel and broadcast choices).
    // log: the monitor, whose lines from now on are this download's.
    GuiJournalRecord(const SetupValues& values, int mode, const MonitorLog& log);
    ~GuiJournalRecord();
    GuiJournalRecord(const GuiJournalRecord&) = delete;
    GuiJournalRecord& operator=(const GuiJournalRecord&) = delete;

    // The end of the download: its outcome (nothing when it ended by an error), the dialog's
    // verdict, and the monitor log.
    void End(const SetupDownload& download, std::optional<DownloadOutcome> outcome,
             const std::string& verdict, const MonitorLog& log);

    // The LAN check after the write, recorded with the end (the wizard's box was ticked).
    void SetLan(bool answered, const std::string& mac, const std::string& tcp, int waitedMs);

    // The fault to tell the user, once while the program runs; empty when there is none or it was
    // told.
    std::string FaultToTell();

private:
#ifdef COMSETUP_HAVE_JOURNAL
    std::unique_ptr<config::JournalEntry> entry_;
    std::optional<config::JournalLan> lan_;
#endif
    int firstLine_ = 0;
};

} // namespace comsetup
