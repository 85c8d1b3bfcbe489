// The progress dialog.
#include "app/tfprog.h"

#include "ui_tfprog.h"

#include "app/embedded_pictures.h"
#include "app/tfmonitor.h"
#include "app/window_geometry.h"
#include "download/port_search.h"
#include "download/progress_estimate.h"

#include <QCloseEvent>
#include <QIcon>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>

std::atomic<bool> CancelSetup{false};
Tfprog* fprog = nullptr;

// Label2's height in the form: two lines of its 8-point font.
static constexpr int kFormTextHeight = 28;
// The button row of the form: "Next converter", then "OK" (or "Cancel") and "Log".
static constexpr int kFormNextWidth = 80;
static constexpr int kFormOkLeft = 88;
static constexpr int kFormLogLeft = 176;

static QIcon Glyph(const QString& name) {
    using comsetup::AlphaPicture, comsetup::kGlyphSize;
    QIcon icon;
    for (const auto& [suffix, mode] : {std::pair{QString(), QIcon::Normal},
                                       std::pair{QStringLiteral("_disabled"), QIcon::Disabled}}) {
        icon.addPixmap(AlphaPicture(name + suffix, kGlyphSize), mode);
        QPixmap doubled = AlphaPicture(name + suffix + QStringLiteral("@2x"), kGlyphSize * 2);
        doubled.setDevicePixelRatio(2.0);
        icon.addPixmap(doubled, mode);
    }
    return icon;
}

Tfprog::Tfprog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfprog>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    formSize_ = QSize(265, 146);
    setFixedSize(formSize_);
    setModal(false);
    for (QWidget* below : std::initializer_list<QWidget*>{
             ui->BtnCancel, ui->btnOK, ui->BtnNext, ui->BtnLog, ui->LabelPort, ui->LabelWakeUp,
             ui->LabelConverter, ui->ProgressBar1, ui->LabelTimeLeft})
        belowDetail_.emplace_back(below, below->y());
    ui->LabelDetail->hide();
    ui->BtnCancel->setIcon(Glyph(QStringLiteral("glyph_cancel")));
    ui->btnOK->setIcon(Glyph(QStringLiteral("glyph_ok")));
    connect(ui->btnOK, &QPushButton::clicked, this, [this] { btnOKClick(ui->btnOK); });
    connect(ui->BtnCancel, &QPushButton::clicked, this, [this] { BtnCancelClick(ui->BtnCancel); });
    connect(ui->BtnLog, &QPushButton::clicked, this, [this] { BtnLogClick(ui->BtnLog); });
    connect(ui->BtnNext, &QPushButton::clicked, this, &Tfprog::nextConverter);
    SetClock({});
    ticker_ = new QTimer(this);
    ticker_->setInterval(250);
    connect(ticker_, &QTimer::timeout, this, &Tfprog::Refresh);
}

void Tfprog::SetClock(Clock clock) {
    if (!clock)
        clock = [] { return std::chrono::steady_clock::now().time_since_epoch(); };
    clock_ = std::move(clock);
}

bool Tfprog::Ticking() const {
    return ticker_->isActive();
}

void Tfprog::ShowProgress(const comsetup::DownloadProgress& progress) {
    const auto now = clock_();
    // The wait's countdown runs from its first report (a port found by "Auto" reports again).
    if (progress.phase == comsetup::DownloadPhase::WakeUp &&
        progress_.phase != comsetup::DownloadPhase::WakeUp)
        wakeUpAt_ = now;
    progress_ = progress;
    reportedAt_ = now;
    if (progress.phase == comsetup::DownloadPhase::Finished)
        ticker_->stop();
    else if (!ticker_->isActive())
        ticker_->start();
    Refresh();
}

void Tfprog::Refresh() {
    using namespace comsetup;
    const auto now = clock_();
    const auto ms = [now](std::chrono::nanoseconds then) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now - then).count();
    };
    const ProgressFigures f = EstimateProgress(progress_, ms(reportedAt_), ms(wakeUpAt_));

    QString port = QString::fromStdString(progress_.port);
    if (IsAutoPort(progress_.port))
        port += QStringLiteral(" (searching)");
    const QString portLine = port.isEmpty() ? QString() : QStringLiteral("Port: ") + port;
    ui->LabelPort->setToolTip(portLine);
    ui->LabelPort->setText(
        ui->LabelPort->fontMetrics().elidedText(portLine, Qt::ElideRight, ui->LabelPort->width()));
    ui->LabelWakeUp->setText(
        f.wakeUpSecondsLeft ? QStringLiteral("wake-up %1")
                                  .arg(QString::fromStdString(FormatDuration(*f.wakeUpSecondsLeft)))
                            : QString());
    ui->ProgressBar1->setValue(
        f.fraction < 0 ? 0
                       : static_cast<int>(std::lround(f.fraction * ui->ProgressBar1->maximum())));
    ui->LabelConverter->setText(QString::fromStdString(f.note));
    ui->LabelTimeLeft->setText(f.secondsLeft && !f.upperBound
                                   ? QString::fromStdString(FormatDuration(*f.secondsLeft)) +
                                         QStringLiteral(" left")
                                   : QString());
}

Tfprog::~Tfprog() = default;

void Tfprog::OfferNext(const QString& text, bool asDefault) {
    ui->BtnNext->setText(text);
    ui->BtnNext->show();
    FitButtonRow();
    // A focused auto-default button takes Enter for itself: only the default one may be one.
    ui->btnOK->setAutoDefault(!asDefault);
    ui->BtnNext->setAutoDefault(asDefault);
    QPushButton* chosen = asDefault ? ui->BtnNext : ui->btnOK;
    chosen->setDefault(true);
    chosen->setFocus(Qt::OtherFocusReason);
}

void Tfprog::HideNext() {
    ui->BtnNext->hide();
    ui->BtnNext->setDefault(false);
    FitButtonRow();
    ui->btnOK->setAutoDefault(true);
    ui->btnOK->setDefault(true);
}

void Tfprog::SetSeriesCount(const QString& text) {
    ui->LabelSeries->setText(text);
}

void Tfprog::SetText(const QString& text) {
    ui->Label2->setText(text);
    LayOutDetail();
}

void Tfprog::SetDetail(const QString& text) {
    ui->LabelDetail->setText(text);
    LayOutDetail();
}

void Tfprog::LayOutDetail() {
    // The progress text takes as many lines as it has, in the font it is drawn with (a larger
    // one than the form's needs more room than the form gives it), and the detail starts on
    // the line after its last one; what lies below both moves down only as far as they need,
    // so that texts that fit leave the form's layout.
    QLabel* text = ui->Label2;
    const int textLines = static_cast<int>(text->text().count('\n')) + 1;
    const int textHeight = textLines * text->fontMetrics().lineSpacing();
    text->resize(text->width(), std::max(kFormTextHeight, textHeight));
    QLabel* detail = ui->LabelDetail;
    const int top = text->y() + textHeight + 1;
    const int height = detail->text().isEmpty() ? 0 : detail->heightForWidth(detail->width());
    detail->setGeometry(detail->x(), top, detail->width(), height);
    detail->setVisible(height > 0);
    const int firstBelow = belowDetail_.front().second;
    const int shift = height > 0 ? std::max(0, top + height + 2 - firstBelow)
                                 : std::max(0, textHeight - kFormTextHeight);
    for (const auto& [widget, formTop] : belowDetail_)
        widget->move(widget->x(), formTop + shift);
    setFixedSize(formSize_.width() + buttonRowGrowth_, formSize_.height() + shift);
}

void Tfprog::FitButtonRow() {
    // The form's row while "Next converter" fits its place; a caption that does not (a larger
    // system font, another platform's button margins) widens its button, and "OK", "Cancel"
    // and "Log" move right as far as needed, the dialog growing with them.
    QPushButton* next = ui->BtnNext;
    const int nextWidth = next->isVisibleTo(this)
                              ? std::max(kFormNextWidth, next->sizeHint().width())
                              : kFormNextWidth;
    next->resize(nextWidth, next->height());
    const int okShift = std::max(0, next->x() + nextWidth + 2 - kFormOkLeft);
    ui->btnOK->move(kFormOkLeft + okShift, ui->btnOK->y());
    ui->BtnCancel->move(kFormOkLeft + okShift, ui->BtnCancel->y());
    const int logLeft = std::max(kFormLogLeft, ui->btnOK->x() + ui->btnOK->width() + 2);
    ui->BtnLog->move(logLeft, ui->BtnLog->y());
    buttonRowGrowth_ = logLeft - kFormLogLeft;
    LayOutDetail();
}

void Tfprog::btnOKClick(QObject* /*Sender*/) {
    close();
}

void Tfprog::BtnCancelClick(QObject* /*Sender*/) {
    CancelSetup = true;
}

void Tfprog::BtnLogClick(QObject* /*Sender*/) {
    if (Fmonitor)
        Fmonitor->ShowLog();
}

void Tfprog::reject() {
    if (ui->BtnCancel->isVisible())
        ui->BtnCancel->click();
}

void Tfprog::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        comsetup::CentreOnScreen(this);
    QDialog::showEvent(event);
}

void Tfprog::closeEvent(QCloseEvent* event) {
    // While a download runs the close box is its "Cancel", and the dialog stays for the
    // verdict; once it has ended, a plain hide like "OK".
    if (ui->BtnCancel->isVisibleTo(this)) {
        event->ignore();
        ui->BtnCancel->click();
        return;
    }
    event->accept();
}
