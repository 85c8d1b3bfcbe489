// Recording the wizard's downloads in the journal.
#include "app/gui_journal.h"

#include "download/banner.h"
#include "serial/port_names.h"

#include <cstdlib>

#ifdef COMSETUP_HAVE_JOURNAL
#include "config/journal.h"
#endif

namespace comsetup {

config::SetupProfile ProfileOfValues(const SetupValues& v, int mode) {
    config::SetupProfile p;
    p.port = v.portName;
    p.mode = mode >= 1 && mode <= 3 ? static_cast<config::Mode>(mode)
             : !v.tunnel            ? config::Mode::RemoteCom
             : v.broadcast          ? config::Mode::PointToMultipoint
                                    : config::Mode::PointToPoint;
    p.master = v.tunnel && v.broadcast;
    p.ip = v.ip;
    p.mask = v.mask;
    p.localPort = std::atoi(v.localPortText.c_str());
    if (v.useGateway) {
        p.gateway = v.gateway;
    }
    p.baud = std::atoi(v.baudText.c_str());
    p.parityIndex = v.parityIndex;
    p.stopBitsIndex = v.stopBitsIndex;
    p.flowIndex = v.flowIndex;
    p.peer = v.remote;
    return p;
}

namespace {

struct PlanRowTag {
    std::string planId;
    int row = 0;
};

PlanRowTag& CurrentPlanRow() {
    static PlanRowTag tag;
    return tag;
}

} // namespace

ScopedJournalPlanRow::ScopedJournalPlanRow(std::string planId, int row) {
    CurrentPlanRow() = {std::move(planId), row};
}

ScopedJournalPlanRow::~ScopedJournalPlanRow() {
    CurrentPlanRow() = {};
}

#ifdef COMSETUP_HAVE_JOURNAL

GuiJournalRecord::GuiJournalRecord(const SetupValues& values, int mode, const MonitorLog& log)
    : firstLine_(log.Count()) {
    const std::string path = config::DefaultJournalPath();
    if (path.empty()) {
        return;
    }
    config::JournalStart start;
    start.frontEnd = "comsetup";
    start.version = COMSETUP_VERSION;
    start.device = ResolvePortName(values.portName);
    start.setup = ProfileOfValues(values, mode);
    if (values.tunnel) {
        start.peerSent = config::FormatIpv4(values.remote);
    }
    start.plan = CurrentPlanRow().planId;
    start.planRow = CurrentPlanRow().row;
    entry_ = std::make_unique<config::JournalEntry>(path, start);
}

void GuiJournalRecord::SetLan(bool answered, const std::string& mac, const std::string& tcp,
                              int waitedMs) {
    lan_ = config::JournalLan{answered, mac, tcp, waitedMs};
}

void GuiJournalRecord::End(const SetupDownload& download, std::optional<DownloadOutcome> outcome,
                           const std::string& verdict, const MonitorLog& log) {
    if (!entry_) {
        return;
    }
    config::JournalEnd end;
    end.firmware = FirmwareName(download.Variant());
    end.verdict = verdict;
    end.outcome = outcome ? OutcomeName(*outcome) : "error-on-setup";
    end.cause = download.Cause();
    end.written = download.Written();
    end.lan = lan_;
    // The monitor keeps earlier downloads' lines above this one's (unless it was cleared).
    for (int i = log.Count() >= firstLine_ ? firstLine_ : 0; i < log.Count(); ++i) {
        end.log += log.Line(i) + "\n";
    }
    entry_->End(end);
}

#else

void GuiJournalRecord::SetLan(bool, const std::string&, const std::string&, int) {}

GuiJournalRecord::GuiJournalRecord(const SetupValues&, int, const MonitorLog&) {}

void GuiJournalRecord::End(const SetupDownload&, std::optional<DownloadOutcome>, const std::string&,
                           const MonitorLog&) {}

#endif

GuiJournalRecord::~GuiJournalRecord() = default;

std::string GuiJournalRecord::FaultToTell() {
#ifdef COMSETUP_HAVE_JOURNAL
    static bool told =
        false; // once while the program runs: the same fault would repeat at every download
    if (!entry_ || entry_->Error().empty() || told) {
        return {};
    }
    told = true;
    return "Not recorded in the journal: " + entry_->Error();
#else
    return {};
#endif
}

} // namespace comsetup
