// Recording the wizard's downloads in the journal.
#include "app/gui_journal.h"

#include "download/banner.h"
#include "download/port_search.h"
#include "serial/port_names.h"

#include <cstdlib>

#include "config/journal.h"

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

GuiJournalRecord::GuiJournalRecord(const config::SetupProfile& setup, const SetupValues& values,
                                   const JournalPlanRow& planRow)
    : portGiven_(values.portName) {
    const std::string path = config::DefaultJournalPath();
    if (path.empty()) {
        return;
    }
    config::JournalStart start;
    start.frontEnd = "comsetup";
    start.version = COMSETUP_VERSION;
    start.device = ResolvePortName(values.portName);
    start.setup = setup;
    if (values.tunnel) {
        start.peerSent = config::FormatIpv4(values.remote);
    }
    start.plan = planRow.planId;
    start.planRow = planRow.row;
    entry_ = std::make_unique<config::JournalEntry>(path, start);
}

void GuiJournalRecord::SetLan(bool answered, const std::string& mac, const std::string& tcp,
                              int waitedMs) {
    lan_ = config::JournalLan{answered, mac, tcp, waitedMs};
}

void GuiJournalRecord::End(const SetupDownload& download, std::optional<DownloadOutcome> outcome,
                           KeptMonitorLog& log) {
    if (!entry_) {
        return;
    }
    config::JournalEnd end;
    end.firmware = FirmwareName(download.Variant());
    end.verdict = std::string(VerdictText(outcome.value_or(DownloadOutcome::ErrorOnSetup)));
    // An error before the first setting went out left the converter as it was: a port error,
    // as the command line names it.
    end.outcome = outcome                   ? OutcomeName(*outcome)
                  : download.SettingsSent() ? OutcomeName(DownloadOutcome::ErrorOnSetup)
                                            : OutcomeName(DownloadOutcome::PortError);
    end.cause = download.Cause();
    end.written = download.Written();
    if (IsAutoPort(portGiven_) && !download.PortName().empty()) {
        end.portFound = download.PortName(); // the row names the port "Auto" found
        end.deviceFound = ResolvePortName(end.portFound);
    }
    end.lan = lan_;
    // Only this download's lines: the monitor keeps earlier downloads' above them.
    end.log = log.Finish();
    entry_->End(end, 0); // the window's thread waits no longer than the busy timeout
}

GuiJournalRecord::~GuiJournalRecord() = default;

std::string GuiJournalRecord::FaultToTell() {
    static bool told =
        false; // once while the program runs: the same fault would repeat at every download
    if (!entry_ || entry_->Error().empty() || told) {
        return {};
    }
    told = true;
    return "Not recorded in the journal: " + entry_->Error();
}

} // namespace comsetup
