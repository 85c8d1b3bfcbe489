// The mode-selection wizard, the program's main window and the only one a user works in.
// Page 0 offers the three operating modes; the settings page of the chosen mode collects the
// converter's LAN, serial, gateway and peer settings and the PC's port. "DownLoad" checks the
// numeric fields it would send (each a whole number within its range) and the subnet mask,
// reads the page as one setup profile and has the main setup window download it (that window
// sets every one of its controls from the profile first).
//
// Closing the wizard ends the program; while a download runs it asks whether to cancel the
// download and quit, and then closes once the download has ended. While a download runs,
// "DownLoad" and every control that would open a modal loop are disabled, and the title names
// the port being written.
//
// Only the bands and the mode page are built with the window, so that it is drawn sooner; the
// settings pages follow on the same window (BuildSettingsPages) when the program asks, after
// the first drawing, or when a page, a button or Form() needs them.
#pragma once

class QCheckBox;

#include <QWidget>

#include "app/gui_journal.h"
#include "config/setup_options.h"

#include <memory>
#include <optional>

namespace Ui {
class TF_selmode;
class TF_selmodeFrame;
} // namespace Ui

namespace comsetup {
class ConverterSeries;
}

// The wizard's page, which is also the operating mode chosen: 0 the mode page (none chosen
// yet), 1 Remote COM port, 2 Tunnel Point to Point, 3 Tunnel Point to Multipoint.
extern int stat_wiz;

class TF_selmode : public QWidget {
    Q_OBJECT
public:
    explicit TF_selmode(QWidget* parent = nullptr);
    ~TF_selmode() override;

    // Every control of the wizard; builds the settings pages first if they are not yet.
    Ui::TF_selmode& Form();
    // The controls built with the window: the two bands and the mode page.
    Ui::TF_selmodeFrame& Frame();
    bool ClosePending() const { return closePending_; }

    // Builds the settings pages once, shown as the current page wants them, and then
    // announces them (settingsPagesBuilt).
    void BuildSettingsPages();
    bool SettingsPagesBuilt() const { return settingsBuilt_; }

public slots:
    // The window is shown: back to the mode page (fields keep their values).
    void FormShow(QObject* Sender);
    // Shows the controls of the page stat_wiz names.
    void upd_stat_wiz();
    // "Next -->" on the mode page, "DownLoad" on a settings page.
    void Button1Click(QObject* Sender);
    // One mode box changed (Sender): a box just checked unchecks the other two.
    void cb_m1Click(QObject* Sender);
    // "MASTER SIDE" changed.
    void cb_broadcastClick(QObject* Sender);
    // "<-- Back" on a settings page: the mode page again, every value kept.
    void BtnBackClick(QObject* Sender);
    // "Open...": reads a setup profile (the JSON of comsetup-cli --config) into the wizard and
    // shows its mode's page; a file that cannot be used is named in a message with the key,
    // and nothing on screen changes.
    void BtnOpenClick(QObject* Sender);
    // "Save...": writes this page's values as a setup profile (replacing the file whole).
    void BtnSaveClick(QObject* Sender);
    // "Journal...": the journal window, whose "Use these values" comes back to LoadProfile.
    void BtnJournalClick(QObject* Sender);
    // "Open plan..." (on the mode page): a CSV plan read onto the wizard's values, in the plan
    // window, whose rows are written as a series of the progress dialog.
    void BtnPlanClick(QObject* Sender);
    // The progress dialog's series, which a plan drives.
    void SetSeries(comsetup::ConverterSeries* series) { series_ = series; }
    // Puts a setup into the controls and shows its mode's page.
    void LoadProfile(const comsetup::config::SetupProfile& profile);
    // Downloads `profile` itself (a unit of a series, a plan's row): the main window's
    // controls are set from it alone, whatever the wizard shows.
    void DownloadProfile(const comsetup::config::SetupProfile& profile,
                         const comsetup::JournalPlanRow& planRow = {});
    // "Log...": shows the monitor window with the log of every download so far; the progress
    // dialog's "Log" goes with the dialog once its "OK" has hidden it.
    void BtnLogClick(QObject* Sender);

    // The main setup window's download has ended: a close asked for meanwhile happens now.
    void DownloadEnded();

signals:
    // The user closed the wizard (and no download was running any more): the program ends.
    void closed();
    // The settings pages have just been built.
    void settingsPagesBuilt();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Every field a download would send holds a number within its range, and a typed baud
    // rate is digits; otherwise the first fault is flashed, focused and named in a message.
    bool ValuesAreSendable();
    // The page's profile as "DownLoad" reads it: refused fields, mask or values are said (the
    // first fault, focused) and give nothing.
    std::optional<comsetup::config::SetupProfile> SendableProfile();
    void CopyAndDownload();
    // Shows or hides the settings controls as `page` wants them (all hidden on page 0).
    void ShowSettingsPage(int page);
    // On the multipoint page with "MASTER SIDE", the peer the download sends in place of the
    // peer address (the directed broadcast of the converter's network), read-only.
    void ShowPeerSent();
    // The order Tab goes through the controls built so far.
    void SetTabOrder();

    std::unique_ptr<Ui::TF_selmode> ui;
    bool settingsBuilt_ = false;
    QCheckBox* lanCheckBox_ = nullptr; // "Check the address on this PC's network"
    comsetup::ConverterSeries* series_ = nullptr;
    bool closePending_ = false;
};

extern TF_selmode* F_selmode;
