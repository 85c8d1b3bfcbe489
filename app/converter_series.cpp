// "Next converter" in the progress dialog.
#include "app/converter_series.h"

#include "app/comsetup_application.h"
#include "app/gui_journal.h"
#include "app/tf_selmode.h"
#include "app/tfmain.h"
#include "app/tfprog.h"
#include "widgets/message_box.h"

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

} // namespace

bool ConfirmWithTechnician(QWidget* parent, const QString& text) {
    if (Installed())
        return Installed()(parent, text);
    return QMessageBox::question(parent, QStringLiteral("Next converter"), text,
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
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
    progress_.OfferNext(lastFailed_ ? QStringLiteral("Retry") : QStringLiteral("Next converter"),
                        true);
    progress_.SetSeriesCount(
        QString::fromStdString(lastFailed_ ? series_->CountText() : series_->DoneText()));
}

void ConverterSeries::StartPlanned(std::vector<config::SetupProfile> plan, std::string planId,
                                   std::vector<int> rowNumbers) {
    series_.emplace(std::move(plan));
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
    wizard_.LoadProfile(series_->Current());
    const Marked writing(writingUnit_);
    const auto unit = static_cast<std::size_t>(series_->Number() - 1);
    const ScopedJournalPlanRow row(planId_, unit < planRows_.size() ? planRows_[unit] : 0);
    wizard_.Button1Click(nullptr); // returns when the unit's download has ended
}

} // namespace comsetup
