// The main setup window: holds the values of one converter setup, owns the serial port
// component Comport and carries the download (downClick). Created hidden and never shown by
// the program's flow: the wizard writes its values into this window's controls and calls
// downClick.
//
// One download at a time: a call of downClick while a download runs (its waits keep the
// event loop running, so the wizard's button can be pressed again) starts nothing and brings
// the progress dialog to the front.
#pragma once

#include "app/gui_journal.h"
#include "app/gui_pacer.h"
#include "app/qt_owner_pump.h"
#include "config/setup_options.h"
#include "core/setup_values.h"
#include "serial/comm.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TFmain;
}

class TFmain : public QWidget {
    Q_OBJECT
    // Declared first: the serial component's event thread posts into it until Comport is gone.
    comsetup::QtOwnerPump pump_;

public:
    explicit TFmain(QWidget* parent = nullptr);
    ~TFmain() override;

    Ui::TFmain& Form() { return *ui; }
    TComm Comport;

    // The values of the controls as the download reads them.
    comsetup::SetupValues ReadSetupValues();
    // Sets every control the download reads, the tunnel "Enable" and the master side included,
    // so that nothing an earlier download left in them counts.
    void ShowSetupValues(const comsetup::SetupValues& values);
    // Runs one download of `setup`: every control is set from it first (as
    // config::ToSetupValues maps a profile), and the journal records it as that profile, of
    // `planRow` when a plan's row is written. Brings the dialog forward while one runs.
    void DownloadSetup(const comsetup::config::SetupProfile& setup,
                       const comsetup::JournalPlanRow& planRow = {});
    bool DownloadRunning() const { return downloadRunning_; }
    // The last download's setup, with the port it used (the one "Auto" found), and whether it
    // ended "Setup Complete".
    const comsetup::config::SetupProfile& LastSetup() const { return lastSetup_; }
    bool LastComplete() const { return lastComplete_; }

    // Tests run whole downloads of the wizard in virtual time on an in-memory line: downClick
    // then talks to `port` and paces with `pacer` instead of Comport and the GUI pacer. A
    // nullptr restores this window's own. Between downloads only.
    void UseLine(TCustomComm* port, comsetup::Pacer* pacer);

public slots:
    // "Download Setup": runs one setup download with the values in this window.
    void downClick(QObject* Sender);
    // Tunnel "Enable": enables or disables the peer address, peer port and "broadcast".
    void cb_entunnelClick(QObject* Sender);

signals:
    // A download starts (its values are read).
    void downloadStarted();
    // A download has ended (also when it ended with an error).
    void downloadEnded();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The download of the values in the controls, recorded as `setup`.
    void RunDownload(const comsetup::config::SetupProfile& setup,
                     const comsetup::JournalPlanRow& planRow);

    std::unique_ptr<Ui::TFmain> ui;
    comsetup::GuiPacer guiPacer_;
    TCustomComm* port_ = &Comport;        // the download's port
    comsetup::Pacer* pacer_ = &guiPacer_; // the download's pacer
    bool downloadRunning_ = false;
    comsetup::config::SetupProfile lastSetup_;
    bool lastComplete_ = false;
};

extern TFmain* Fmain;
