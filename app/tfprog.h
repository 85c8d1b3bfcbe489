// The progress dialog: one line of progress text, "Cancel" while a download runs and "OK" once
// it has ended. Not modal: the wizard stays usable while it is shown, and owns it, so that it
// stays above the wizard. Esc and the close box press "Cancel" while it is visible; once the
// download has ended, the close box hides the dialog like "OK".
//
// Below the progress text, a line of detail: a Cancel still pending, or why the download
// ended as it did; the dialog grows downwards to show it whole. Below the buttons: the port
// in use with the seconds left of the wake-up wait; under it, that the converter answered
// (its firmware) or that its restart takes longer than planned; and a bar with the time left
// from the script's planned durations. "Log" shows the monitor window.
//
// After a download, "Next converter" (or "Retry" for a unit of a series that failed) may stand
// beside "OK"; above the progress text, the series' count.
#pragma once

#include "download/views.h"

#include <QDialog>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QTimer;

namespace Ui {
class Tfprog;
}

// Set by "Cancel"; cleared and polled by each download.
extern std::atomic<bool> CancelSetup;

class Tfprog : public QDialog {
    Q_OBJECT
public:
    explicit Tfprog(QWidget* parent = nullptr);
    ~Tfprog() override;

    Ui::Tfprog& Form() { return *ui; }

    // Label2, the progress text.
    void SetText(const QString& text);
    // The line below the progress text ("" hides it).
    void SetDetail(const QString& text);

    using Clock = std::function<std::chrono::nanoseconds()>;
    // The clock the figures move with between reports (the download's pacer clock; tests
    // give a virtual one).
    void SetClock(Clock clock);
    // A report of the running download: phase, planned time, port. Starts the figures' ticking
    // until the download has finished.
    void ShowProgress(const comsetup::DownloadProgress& progress);
    // Redraws the port line, the countdown, the bar and the time left for the clock's now.
    void Refresh();
    bool Ticking() const;

    // Shows "Next converter" or "Retry" beside "OK". asDefault: Enter presses it (once a series
    // has started); otherwise "OK" stays the default button.
    void OfferNext(const QString& text, bool asDefault);
    void HideNext();
    // The series' count above the progress text ("" hides it).
    void SetSeriesCount(const QString& text);

signals:
    // "Next converter" or "Retry" was pressed.
    void nextConverter();

public slots:
    // "OK": hides the dialog; it stays for the next download.
    void btnOKClick(QObject* Sender);
    // "Cancel": asks the running download to stop at its next look at the flag.
    void BtnCancelClick(QObject* Sender);
    // "Log": shows the monitor window with what the converter sent.
    void BtnLogClick(QObject* Sender);

    // Esc: presses "Cancel" when it is visible; never closes the dialog.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void LayOutDetail();
    void FitButtonRow();

    std::unique_ptr<Ui::Tfprog> ui;
    QSize formSize_;
    int buttonRowGrowth_ = 0; // how far a longer "Next converter" pushed the buttons right of it
    std::vector<std::pair<QWidget*, int>> belowDetail_; // and their tops in the form
    Clock clock_;
    QTimer* ticker_;
    comsetup::DownloadProgress progress_;
    std::chrono::nanoseconds reportedAt_{0};
    std::chrono::nanoseconds wakeUpAt_{0};
};

extern Tfprog* fprog;
