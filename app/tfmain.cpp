// The main setup window.
#include "app/tfmain.h"

#include "ui_tfmain.h"

#include "app/address_fields.h"
#include "app/combo_choice.h"
#include "app/comsetup_application.h"
#include "ui_tfprog.h"

#include "app/gui_journal.h"
#include "app/gui_lan_check.h"
#include "app/gui_views.h"
#include "app/journal_window.h"
#include "app/tf_selmode.h"
#include "app/tfmonitor.h"
#include "app/tfprog.h"
#include "app/window_geometry.h"
#include "download/driver.h"
#include "download/port_search.h"
#include "download/progress_estimate.h"
#include "download/verdict_lines.h"

#include <QDateTime>
#include <QShowEvent>

#include <cstdlib>
#include <optional>

TFmain* Fmain = nullptr;

namespace {

// Resets a flag and reports the end of a download however it ends.
class RunningDownload {
public:
    RunningDownload(bool& running, TFmain& window) : running_(running), window_(window) {
        running_ = true;
    }
    ~RunningDownload() {
        running_ = false;
        emit window_.downloadEnded();
    }
    RunningDownload(const RunningDownload&) = delete;
    RunningDownload& operator=(const RunningDownload&) = delete;

private:
    bool& running_;
    TFmain& window_;
};

// Opens a download's part of the monitor log with when it started, the port and the values,
// and completes that headline with the verdict once the download has ended, so that downloads
// do not run together. A headline the user has meanwhile cleared or changed stays as it is.
class LogHeader {
public:
    LogHeader(comsetup::MemoLines& log, const comsetup::SetupValues& values)
        : log_(log), port_(values.portName),
          started_(QDateTime::currentDateTime()
                       .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                       .toStdString()) {
        if (log_.Count() > 0)
            log_.Add({}); // a blank line after the previous download
        at_ = log_.Count();
        written_ = Headline(port_, "downloading...");
        log_.Add(written_);
        log_.Add(QString::fromStdString(comsetup::LogValuesLine(values)));
    }
    // `port`: the port the download used (the one "Auto" found), "" when it found none.
    void End(std::string_view verdict, const std::string& port) {
        if (log_.Line(at_) != written_)
            return;
        std::string shown = port_;
        if (comsetup::IsAutoPort(port_) && !port.empty())
            shown += ", found on " + port;
        log_.Replace(at_, Headline(shown, verdict));
    }

private:
    QString Headline(const std::string& port, std::string_view verdict) const {
        return QString::fromStdString(comsetup::LogHeadline(started_, port, verdict));
    }

    comsetup::MemoLines& log_;
    std::string port_;
    std::string started_;
    int at_ = 0;
    QString written_;
};

} // namespace

TFmain::TFmain(QWidget* parent)
    : QWidget(parent), Comport(&pump_), ui(std::make_unique<Ui::TFmain>()) {
    ui->setupUi(this);
    comsetup::SetOuterSize(this, {533, 422}, {400, 300}, false);
    for (TRangeEdit* field : findChildren<TRangeEdit*>())
        field->SetColor(Qt::white);
    comsetup::ShowTextWithoutChoice(ui->cb_com, QStringLiteral("COM1"));
    comsetup::ShowTextWithoutChoice(ui->cb_br, QStringLiteral("9600"));
    comsetup::ShowTextWithoutChoice(ui->cb_db, QStringLiteral("8"));
    for (QComboBox* box : {ui->cb_com, ui->cb_br, ui->cb_db})
        comsetup::ForgetChoiceWhenTyped(box);

    Comport.SetDeviceName("Com2");
    Comport.SetMonitorEvents(comsetup::AllCommEvents());
    Comport.SetOptions({});
    Comport.SetFlowControl(fcNone);

    connect(ui->down, &QPushButton::clicked, this,
            [this] { comsetup::RunReporting([this] { downClick(ui->down); }); });
    connect(ui->BtnJournal, &QPushButton::clicked, this,
            [this] { comsetup::ShowJournalWindow(this); });
    connect(ui->cb_entunnel, &QCheckBox::toggled, this,
            [this] { cb_entunnelClick(ui->cb_entunnel); });
}

TFmain::~TFmain() = default;

void TFmain::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        comsetup::CentreOnScreen(this);
    QWidget::showEvent(event);
}

void TFmain::cb_entunnelClick(QObject* /*Sender*/) {
    const bool on = ui->cb_entunnel->isChecked();
    for (QWidget* control :
         std::initializer_list<QWidget*>{ui->are_ipb1, ui->are_ipb2, ui->are_ipb3, ui->are_ipb4,
                                         ui->port_rem, ui->cb_broadcast})
        control->setEnabled(on);
}

comsetup::SetupValues TFmain::ReadSetupValues() {
    comsetup::SetupValues v;
    v.portName = ui->cb_com->currentText().toStdString();
    v.ip = comsetup::ReadAddress({ui->re_ipb1, ui->re_ipb2, ui->re_ipb3, ui->re_ipb4});
    v.mask = comsetup::ReadAddress({ui->re_smb1, ui->re_smb2, ui->re_smb3, ui->re_smb4});
    v.useGateway = ui->CB_UseGateway->isChecked();
    v.gateway = comsetup::ReadAddress({ui->RE_Gat1, ui->RE_Gat2, ui->RE_Gat3, ui->RE_Gat4});
    v.baudText = ui->cb_br->currentText().toStdString();
    v.dataBitsText = ui->cb_db->currentText().toStdString();
    v.parityIndex = ui->cb_pa->currentIndex();
    v.stopBitsIndex = ui->cb_sb->currentIndex();
    v.flowIndex = ui->cb_fc->currentIndex();
    v.localPortText = ui->RangeEdit1->text().toStdString();
    v.tunnel = ui->cb_entunnel->isChecked();
    v.remote = comsetup::ReadAddress({ui->are_ipb1, ui->are_ipb2, ui->are_ipb3, ui->are_ipb4});
    v.remotePort = ui->port_rem->GetValue();
    v.broadcast = ui->CB_BRCast->isChecked();
    return v;
}

void TFmain::ShowSetupValues(const comsetup::SetupValues& v) {
    using comsetup::WriteAddress;
    const auto choose = [](QComboBox* box, const std::string& text) {
        const int index = box->findText(QString::fromStdString(text));
        if (index >= 0 && box->currentIndex() != index)
            box->setCurrentIndex(index);
        else if (index < 0)
            comsetup::ShowTextWithoutChoice(box, QString::fromStdString(text));
    };
    choose(ui->cb_com, v.portName);
    WriteAddress({ui->re_ipb1, ui->re_ipb2, ui->re_ipb3, ui->re_ipb4}, v.ip);
    WriteAddress({ui->re_smb1, ui->re_smb2, ui->re_smb3, ui->re_smb4}, v.mask);
    ui->CB_UseGateway->setChecked(v.useGateway);
    WriteAddress({ui->RE_Gat1, ui->RE_Gat2, ui->RE_Gat3, ui->RE_Gat4}, v.gateway);
    choose(ui->cb_br, v.baudText);
    choose(ui->cb_db, v.dataBitsText);
    ui->cb_pa->setCurrentIndex(v.parityIndex);
    ui->cb_sb->setCurrentIndex(v.stopBitsIndex);
    ui->cb_fc->setCurrentIndex(v.flowIndex);
    ui->RangeEdit1->SetValue(std::atoi(v.localPortText.c_str()));
    ui->cb_entunnel->setChecked(v.tunnel);
    cb_entunnelClick(ui->cb_entunnel); // also when the box was already as wanted
    WriteAddress({ui->are_ipb1, ui->are_ipb2, ui->are_ipb3, ui->are_ipb4}, v.remote);
    ui->port_rem->SetValue(v.remotePort);
    ui->CB_BRCast->setChecked(v.broadcast);
}

void TFmain::UseLine(TCustomComm* port, comsetup::Pacer* pacer) {
    port_ = port ? port : &Comport;
    pacer_ = pacer ? pacer : &guiPacer_;
}

void TFmain::downClick(QObject* /*Sender*/) {
    if (downloadRunning_) {
        // The progress dialog and the port exist once: a second download would share them.
        comsetup::ProgressDialogView(*fprog).BringToFront();
        return;
    }
    // This window's own button: the mode is told from the tunnel and broadcast choices.
    RunDownload(comsetup::ProfileOfValues(ReadSetupValues(), 0), {});
}

void TFmain::DownloadSetup(const comsetup::config::SetupProfile& setup,
                           const comsetup::JournalPlanRow& planRow) {
    if (downloadRunning_) {
        comsetup::ProgressDialogView(*fprog).BringToFront();
        return;
    }
    ShowSetupValues(comsetup::config::ToSetupValues(setup));
    RunDownload(setup, planRow);
}

void TFmain::RunDownload(const comsetup::config::SetupProfile& setup,
                         const comsetup::JournalPlanRow& planRow) {
    RunningDownload running(downloadRunning_, *this);
    const comsetup::SetupValues values = ReadSetupValues();
    comsetup::GuiLanCheck lanCheck(values, *pacer_);
    if (!lanCheck.Before(this))
        return; // a taken address the technician chose not to write: nothing sent
    lastSetup_ = setup;
    lastComplete_ = false;
    emit downloadStarted();
    // The download's own planned total is whole from the banner on.
    comsetup::ProgressDialogView progress(*fprog);
    comsetup::MonitorWindowLog window(*Fmonitor);
    comsetup::KeptMonitorLog monitor(window); // the journal's log: every byte the converter sent
    comsetup::MessageBoxSink messages;
    fprog->SetClock([pacer = pacer_] { return pacer->Now(); });
    comsetup::DownloadContext context{*port_,  progress,    monitor,  messages,
                                      *pacer_, CancelSetup, &progress};
    // "Auto" searches the ports this window's list offers.
    for (int i = 0; i < ui->cb_com->count(); ++i)
        context.searchPorts.push_back(ui->cb_com->itemText(i).toStdString());
    comsetup::SetupDownload download(context);
    LogHeader header(Fmonitor->Lines(), values);
    comsetup::GuiJournalRecord journal(setup, values, planRow);
    std::optional<comsetup::DownloadOutcome> outcome;
    try {
        outcome = download.Run(values);
        lastComplete_ = *outcome == comsetup::DownloadOutcome::Complete;
        if (!download.PortName().empty())
            lastSetup_.port = download.PortName();
        header.End(comsetup::VerdictText(*outcome), download.PortName());
    } catch (...) {
        header.End(comsetup::VerdictText(comsetup::DownloadOutcome::ErrorOnSetup),
                   download.PortName());
        // The row is completed before the error goes on to the general error report.
        journal.End(download, std::nullopt, monitor);
        throw;
    }
    lanCheck.After(*fprog, lastComplete_, CancelSetup);
    if (lanCheck.On()) {
        const auto& found = lanCheck.AfterResult().probe;
        journal.SetLan(lanCheck.AfterResult().Found(),
                       found.mac ? comsetup::lan::FormatMac(*found.mac) : std::string(),
                       comsetup::config::TcpStateName(found.tcp), lanCheck.AfterResult().waitedMs);
    }
    journal.End(download, outcome, monitor);
    if (const std::string fault = journal.FaultToTell(); !fault.empty()) {
        monitor.Add(fault);
        progress.SetDetail(fprog->Form().LabelDetail->text().toStdString() +
                           (fprog->Form().LabelDetail->text().isEmpty() ? "" : "\n") + fault);
    }
}
