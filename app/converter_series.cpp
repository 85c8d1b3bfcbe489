// "Next converter" in the progress dialog.
#include "app/converter_series.h"

#include "app/comsetup_application.h"
#include "app/gui_journal.h"
#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfprog.h"
#include "widgets/message_box.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>

namespace comsetup {

namespace {

UnitConfirmation& Installed() {
    static UnitConfirmation installed;
    return installed;
}

// Clears a flag however the download it marks ends (an error goes on to the general report).
class Marked {
public:
    explicit Marked(bool& flag) : flag_(flag) { flag_ = true; }
    ~Marked() { flag_ = false; }
    Marked(const Marked&) = delete;
    Marked& operator=(const Marked&) = delete;

private:
    bool& flag_;
};

// Drops the repeats of a key held down, so that a key held when a question appeared answers it
// only once released and pressed again.
class FreshKeysOnly : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
            if (static_cast<QKeyEvent*>(event)->isAutoRepeat())
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

bool ConfirmWithTechnician(QWidget* parent, const QString& text) {
    if (Installed())
        return Installed()(parent, text);
    // The answer starts a download: a key held since the question before (Enter on "Next
    // converter", say) must not answer this one too.
    QMessageBox box(QMessageBox::Question, QStringLiteral("Next converter"), text,
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setObjectName(QStringLiteral("unitConfirmation"));
    box.setDefaultButton(QMessageBox::Ok);
    FreshKeysOnly fresh;
    QCoreApplication::instance()->installEventFilter(&fresh);
    const int answer = box.exec();
    QCoreApplication::instance()->removeEventFilter(&fresh);
    return answer == QMessageBox::Ok;
}

ScopedUnitConfirmation::ScopedUnitConfirmation(UnitConfirmation f) : old_(std::move(Installed())) {
    Installed() = std::move(f);
}

ScopedUnitConfirmation::~ScopedUnitConfirmation() {
    Installed() = std::move(old_);
}

ConverterSeries::ConverterSeries(TF_selmode& wizard, TFmain& main, Tfprog& progress)
    : QObject(&progress), wizard_(wizard), main_(main), progress_(progress) {
    connect(&main_, &TFmain::downloadStarted, this, &ConverterSeries::DownloadStarted);
    connect(&main_, &TFmain::downloadEnded, this, &ConverterSeries::DownloadEnded);
    connect(&progress_, &Tfprog::nextConverter, this,
            [this] { RunReporting([this] { NextClicked(); }); });
}

void ConverterSeries::DownloadStarted() {
    progress_.HideNext();
    if (!writingUnit_) {
        series_.reset(); // "DownLoad" in the wizard starts afresh
        noNext_.reset();
    }
    progress_.SetSeriesCount(series_ ? QString::fromStdString(series_->CountText()) : QString());
}

void ConverterSeries::DownloadEnded() {
    lastFailed_ = !main_.LastComplete();
    if (!series_) {
        if (!lastFailed_)
            progress_.OfferNext(QStringLiteral("Next converter"), false);
        return;
    }
    if (!lastFailed_)
        noNext_ = series_->CurrentWritten();
    if (!lastFailed_ && noNext_ && series_->Total()) {
        // The list's last unit is written: nothing follows it.
        progress_.HideNext();
    } else {
        progress_.OfferNext(
            lastFailed_ ? QStringLiteral("Retry") : QStringLiteral("Next converter"), true);
    }
    progress_.SetSeriesCount(
        QString::fromStdString(lastFailed_ ? series_->CountText() : series_->DoneText()));
}

void ConverterSeries::StartPlanned(std::vector<config::SetupProfile> plan, std::string planId,
                                   std::vector<int> rowNumbers, int planRows) {
    series_.emplace(std::move(plan), rowNumbers, planRows);
    planId_ = std::move(planId);
    planRows_ = std::move(rowNumbers);
    noNext_.reset();
    lastFailed_ = false;
    WriteCurrent();
}

void ConverterSeries::NextClicked() {
    if (main_.DownloadRunning())
        return;
    if (!series_) {
        // The unit just written is the series' first.
        series_.emplace(main_.LastSetup());
        planId_.clear();
        planRows_.clear();
        noNext_ = series_->CurrentWritten();
    }
    if (!lastFailed_ && noNext_) {
        ShowMessage(QStringLiteral("No next converter: ") + QString::fromStdString(*noNext_));
        return;
    }
    const config::SetupProfile& unit = series_->Current();
    const QString port = QString::fromStdString(unit.port);
    const QString address = QString::fromStdString(config::FormatIpv4(unit.ip));
    const QString text =
        lastFailed_
            ? QStringLiteral("Write the converter on %1 again with the address %2?\n\nCheck its "
                             "connection, press OK, then switch it off and on.")
                  .arg(port, address)
            : QStringLiteral("Connect the next converter to %1. It gets the address %2.\n\nPress "
                             "OK, then switch it off and on.")
                  .arg(port, address);
    if (!ConfirmWithTechnician(&progress_, text))
        return;
    WriteCurrent();
}

void ConverterSeries::WriteCurrent() {
    // The unit's own setup goes out, whatever the wizard showed before; the wizard shows it.
    const config::SetupProfile unit = series_->Current();
    wizard_.LoadProfile(unit);
    const Marked writing(writingUnit_);
    const auto at = static_cast<std::size_t>(series_->Number() - 1);
    wizard_.DownloadProfile(unit, {planId_, at < planRows_.size() ? planRows_[at] : 0});
    // returns when the unit's download has ended
}

} // namespace comsetup
