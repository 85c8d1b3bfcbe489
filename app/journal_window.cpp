// The journal window.
#include "app/journal_window.h"

#include "app/file_choice.h"
#include "app/system_fonts.h"
#include "app/tf_selmode.h"
#include "widgets/message_box.h"

#include "app/journal_model.h"
#include "config/config_files.h"
#include "config/journal.h"
#include "config/journal_query.h"
#include "core/printable_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace comsetup {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

JournalWindow::JournalWindow(std::function<void(const config::SetupProfile&)> useValues,
                             QWidget* parent)
    : QDialog(parent), useValues_(std::move(useValues)) {
    setWindowTitle(QStringLiteral("Journal of downloads"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMaximizeButtonHint);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(MakeFilters());
    layout->addWidget(MakeListAndLog(), 1);
    layout->addLayout(MakeButtons());
    resize(860, 560);
    ConnectControls();
    SetKeyboardOrder();
}

QHBoxLayout* JournalWindow::MakeFilters() {
    // The filters, as comsetup-cli journal has them; the date is the local day's start.
    sinceBox_ = new QCheckBox(QStringLiteral("&Since"));
    sinceDate_ = new QDateEdit(QDate::currentDate());
    sinceDate_->setCalendarPopup(true);
    sinceDate_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    sinceDate_->setEnabled(false);
    FitDateEdit();
    ip_ = new QLineEdit;
    ip_->setPlaceholderText(QStringLiteral("A.B.C.D"));
    ip_->setClearButtonEnabled(true);
    port_ = new QLineEdit;
    port_->setPlaceholderText(QStringLiteral("COM1"));
    port_->setClearButtonEnabled(true);
    verdict_ = new QComboBox;
    verdict_->addItem(QStringLiteral("any"));
    for (const std::string& outcome : config::JournalOutcomes())
        verdict_->addItem(QString::fromStdString(outcome));
    auto* ipLabel = new QLabel(QStringLiteral("&IP"));
    ipLabel->setBuddy(ip_);
    auto* portLabel = new QLabel(QStringLiteral("&Port"));
    portLabel->setBuddy(port_);
    auto* verdictLabel = new QLabel(QStringLiteral("&Verdict"));
    verdictLabel->setBuddy(verdict_);
    auto* filters = new QHBoxLayout;
    filters->addWidget(sinceBox_);
    filters->addWidget(sinceDate_);
    filters->addSpacing(8);
    filters->addWidget(ipLabel);
    filters->addWidget(ip_, 1);
    filters->addWidget(portLabel);
    filters->addWidget(port_, 1);
    filters->addWidget(verdictLabel);
    filters->addWidget(verdict_);
    return filters;
}

// The downloads above, the selected one's monitor log below.
QSplitter* JournalWindow::MakeListAndLog() {
    model_ = new JournalModel(this);
    table_ = new QTableView;
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    // The selected row stays marked while a filter has the focus or another window is active
    // (the Windows palette draws an inactive selection in the window's grey).
    QPalette marked = table_->palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        marked.setColor(QPalette::Inactive, role, marked.color(QPalette::Active, role));
    table_->setPalette(marked);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    // Rows of one height need no measuring: 10,000 rows list as fast as 10.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    const int digit = table_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (const auto& [column, digits] :
         {std::pair{JournalModel::Started, 21}, std::pair{JournalModel::Port, 10},
          std::pair{JournalModel::Ip, 16}, std::pair{JournalModel::Mode, 22},
          std::pair{JournalModel::Firmware, 10}, std::pair{JournalModel::Verdict, 30}})
        table_->setColumnWidth(column, digits * digit);

    log_ = new QPlainTextEdit;
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setFont(MonospaceFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)));
    log_->setPlaceholderText(QStringLiteral("The selected download's log"));
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(table_);
    splitter->addWidget(log_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    return splitter;
}

QHBoxLayout* JournalWindow::MakeButtons() {
    status_ = new QLabel;
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setWordWrap(true);
    export_ = new QPushButton(QStringLiteral("&Export CSV..."));
    export_->setToolTip(QStringLiteral("Write the downloads listed as a CSV file"));
    use_ = new QPushButton(QStringLiteral("&Use these values"));
    use_->setToolTip(
        QStringLiteral("Load the selected download's setup into the wizard, on its mode's page"));
    close_ = new QPushButton(QStringLiteral("Close"));
    // A click leaves the focus where it is: a filter losing it would be read on the way out.
    close_->setFocusPolicy(Qt::TabFocus);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(export_);
    buttons->addWidget(use_);
    buttons->addWidget(close_);
    return buttons;
}

void JournalWindow::ConnectControls() {
    connect(sinceBox_, &QCheckBox::toggled, this, [this](bool on) {
        sinceDate_->setEnabled(on);
        Reload();
    });
    connect(sinceDate_, &QDateEdit::dateChanged, this, [this] { Reload(); });
    connect(ip_, &QLineEdit::editingFinished, this, [this] { ApplyEditedFilter(); });
    connect(port_, &QLineEdit::editingFinished, this, [this] { ApplyEditedFilter(); });
    connect(verdict_, &QComboBox::currentIndexChanged, this, [this] { Reload(); });
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { ShowSelected(); });
    connect(table_, &QTableView::doubleClicked, this, [this] { UseSelected(); });
    connect(export_, &QPushButton::clicked, this, [this] { ExportCsv(); });
    connect(use_, &QPushButton::clicked, this, [this] { UseSelected(); });
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    for (QPushButton* button : {export_, use_, close_}) {
        button->setAutoDefault(true); // Enter presses the focused one
        button->setDefault(false);
    }
}

void JournalWindow::SetKeyboardOrder() {
    // Enter in the table uses the selected row's values (as a double click does); in a filter
    // it applies the filters. Export, which opens a file dialog, is never pressed by default.
    use_->setDefault(true);
    for (QWidget* filter :
         std::initializer_list<QWidget*>{sinceBox_, sinceDate_, ip_, port_, verdict_})
        filter->installEventFilter(this);
    setTabOrder(sinceBox_, sinceDate_);
    setTabOrder(sinceDate_, ip_);
    setTabOrder(ip_, port_);
    setTabOrder(port_, verdict_);
    setTabOrder(verdict_, table_);
    setTabOrder(table_, log_);
    setTabOrder(log_, export_);
    setTabOrder(export_, use_);
    setTabOrder(use_, close_);
}

JournalWindow::~JournalWindow() {
    // The window's children outlive this body: hiding them takes the focus out of a filter,
    // whose "editing finished" would reload into members already gone.
    for (QWidget* filter :
         std::initializer_list<QWidget*>{sinceBox_, sinceDate_, ip_, port_, verdict_}) {
        filter->removeEventFilter(this);
        disconnect(filter, nullptr, this, nullptr);
    }
}

// Wide enough for the longest date it shows in its own face (each digit as wide as the widest)
// beside the style's room for its buttons, whether the style lays it out as a spin box or, for
// the calendar's arrow, as a combo box: the toolkit's own hint clips a digit with some styles.
void JournalWindow::FitDateEdit() {
    const QFontMetrics metrics(sinceDate_->font());
    int digit = 0;
    for (char c = '0'; c <= '9'; ++c)
        digit = std::max(digit, metrics.horizontalAdvance(QLatin1Char(c)));
    int text = 0;
    for (const QChar c : sinceDate_->displayFormat())
        text += c.isLetter() ? digit : metrics.horizontalAdvance(c);
    const int probe = 40 * digit + 200;
    const QRect rect(0, 0, probe, sinceDate_->sizeHint().height());
    QStyleOptionSpinBox spin;
    spin.initFrom(sinceDate_);
    spin.rect = rect;
    spin.frame = true;
    spin.buttonSymbols = sinceDate_->buttonSymbols();
    spin.subControls = QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField |
                       QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
    QStyleOptionComboBox combo;
    combo.initFrom(sinceDate_);
    combo.rect = rect;
    combo.editable = true;
    combo.frame = true;
    combo.subControls =
        QStyle::SC_ComboBoxFrame | QStyle::SC_ComboBoxEditField | QStyle::SC_ComboBoxArrow;
    QStyle* style = sinceDate_->style();
    const int buttons =
        std::max(probe - style
                             ->subControlRect(QStyle::CC_SpinBox, &spin,
                                              QStyle::SC_SpinBoxEditField, sinceDate_)
                             .width(),
                 probe - style
                             ->subControlRect(QStyle::CC_ComboBox, &combo,
                                              QStyle::SC_ComboBoxEditField, sinceDate_)
                             .width());
    // The line edit's own margins (2 pixels a side) and its cursor.
    sinceDate_->setMinimumWidth(text + buttons + 2 * 2 + 2);
}

bool JournalWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sinceDate_ &&
        (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
        FitDateEdit();
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Reload();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void JournalWindow::ShowFault(const QString& text) {
    model_->SetRows({});
    log_->clear();
    status_->setText(text);
    for (QPushButton* button : {export_, use_})
        button->setEnabled(false);
}

void JournalWindow::done(int result) {
    closing_ = true;
    QDialog::done(result);
    closing_ = false;
}

QString JournalWindow::FilterState() const {
    return QStringList{
        sinceBox_->isChecked() ? sinceDate_->date().toString(Qt::ISODate) : QString(),
        ip_->text().trimmed(), port_->text().trimmed(), QString::number(verdict_->currentIndex())}
        .join(QLatin1Char('\n'));
}

// A filter's editing finished (the focus left it): read again only if the filters changed,
// and never on the way out.
void JournalWindow::ApplyEditedFilter() {
    if (closing_ || !isVisible() || FilterState() == listedFilter_)
        return;
    Reload();
}

void JournalWindow::Reload() {
    listedFilter_ = FilterState();
    config::JournalToRead found;
    std::string fault; // a journal that cannot be read is said once the filters are read
    try {
        found = config::OpenJournalToRead();
    } catch (const config::JournalError& error) {
        found.path = config::DefaultJournalPath();
        fault = error.what();
    }
    path_ = found.path;
    if (path_.empty()) {
        ShowFault(QStringLiteral("No place for the journal is known: set HOME, XDG_DATA_HOME or "
                                 "COMSETUP_JOURNAL."));
        return;
    }
    const QString shownPath = Text(PrintableDeviceName(path_));
    // Reading creates nothing: without a file, no download was recorded there.
    if (!found.journal && fault.empty()) {
        ShowFault(
            QStringLiteral("No downloads recorded yet: there is no journal %1.").arg(shownPath));
        return;
    }
    const auto filter = FilterFromControls();
    if (!filter)
        return;
    std::vector<config::JournalRow> rows;
    try {
        if (!fault.empty())
            throw config::JournalError(fault);
        rows = found.journal->List(*filter);
    } catch (const config::JournalError& error) {
        ShowFault(QStringLiteral("The journal cannot be read: %1").arg(Text(error.what())));
        return;
    }
    ShowRows(std::move(rows), shownPath);
}

std::optional<config::JournalFilter> JournalWindow::FilterFromControls() {
    config::JournalFilter filter;
    if (sinceBox_->isChecked()) {
        // The journal keeps UTC: the local day's start, in UTC.
        filter.since = QDateTime(sinceDate_->date(), QTime(0, 0))
                           .toUTC()
                           .toString(QStringLiteral("yyyy-MM-ddThh:mm:ssZ"))
                           .toStdString();
    }
    // The address as downloads read it: 192.168.001.077 is 192.168.1.77.
    if (const std::string ip = ip_->text().trimmed().toStdString(); !ip.empty()) {
        try {
            filter.ip = config::FormatIpv4(config::ParseIpv4(ip));
        } catch (const config::ValueError& error) {
            ShowFault(QStringLiteral("IP: %1").arg(Text(error.what())));
            return std::nullopt;
        }
    }
    filter.port = port_->text().trimmed().toStdString();
    if (verdict_->currentIndex() > 0)
        filter.outcome = verdict_->currentText().toStdString();
    filter.limit = 0;
    return filter;
}

void JournalWindow::ShowRows(std::vector<config::JournalRow> rows, const QString& shownPath) {
    const auto count = static_cast<int>(rows.size());
    // The download selected stays selected when it is still listed, else the newest is.
    const QModelIndex before = table_->selectionModel()->currentIndex();
    const std::int64_t selectedId =
        before.isValid() && before.row() < static_cast<int>(model_->Rows().size())
            ? model_->Rows()[static_cast<std::size_t>(before.row())].id
            : 0;
    const auto kept = std::find_if(rows.begin(), rows.end(), [&](const config::JournalRow& row) {
        return selectedId != 0 && row.id == selectedId;
    });
    const int selectRow = kept == rows.end() ? 0 : static_cast<int>(kept - rows.begin());
    model_->SetRows(std::move(rows));
    export_->setEnabled(count > 0);
    status_->setText(count == 0 ? QStringLiteral("No download in %1 matches.").arg(shownPath)
                                : QStringLiteral("%1 download%2 in %3")
                                      .arg(count)
                                      .arg(count == 1 ? "" : "s")
                                      .arg(shownPath));
    if (count > 0) {
        table_->selectRow(selectRow);
        table_->scrollTo(model_->index(selectRow, 0));
    }
    ShowSelected();
}

void JournalWindow::ShowSelected() {
    const QModelIndex current = table_->selectionModel()->currentIndex();
    const auto& rows = model_->Rows();
    const bool any = current.isValid() && current.row() < static_cast<int>(rows.size());
    use_->setEnabled(any);
    if (!any) {
        log_->clear();
        return;
    }
    const config::JournalRow& row = rows[static_cast<std::size_t>(current.row())];
    // The converter's bytes escaped, as comsetup-cli journal show prints them.
    std::string text = EscapeLogText(row.end.log);
    if (!row.end.cause.empty())
        text = "cause: " + EscapeLogText(row.end.cause) + "\n" + text;
    if (!row.end.written.empty())
        text = "written: " + EscapeLogText(row.end.written) + "\n" + text;
    log_->setPlainText(QString::fromStdString(text));
}

void JournalWindow::UseSelected() {
    const QModelIndex current = table_->selectionModel()->currentIndex();
    if (!current.isValid() || current.row() >= static_cast<int>(model_->Rows().size()))
        return;
    useValues_(model_->Rows()[static_cast<std::size_t>(current.row())].start.setup);
}

void JournalWindow::ExportCsv() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString proposed =
        QDir(folder.isEmpty() ? QDir::homePath() : folder)
            .filePath(QStringLiteral("comsetup-journal-%1.csv")
                          .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
    const QString path = ChooseFile(this, FileChoiceKind::Save, QStringLiteral("Export CSV"),
                                    QStringLiteral("CSV files (*.csv);;All files (*)"), proposed);
    if (path.isEmpty())
        return;
    // Written as the profiles are: a temporary file renamed over a regular file only.
    try {
        config::WriteFileAtomically(path.toStdString(), config::JournalCsv(model_->Rows()));
    } catch (const config::ValueError& error) {
        ShowMessage(QStringLiteral("The CSV file could not be written: ") + Text(error.what()));
        return;
    }
    const auto count = model_->Rows().size();
    status_->setText(QStringLiteral("%1 download%2 written to %3")
                         .arg(count)
                         .arg(count == 1 ? "" : "s")
                         .arg(Text(PrintableDeviceName(path.toStdString()))));
}

void ShowJournalWindow(QWidget* parent) {
    static QPointer<JournalWindow> window;
    if (!window) {
        window = new JournalWindow(
            [](const config::SetupProfile& setup) {
                if (F_selmode)
                    F_selmode->LoadProfile(setup);
            },
            F_selmode ? static_cast<QWidget*>(F_selmode) : parent);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    // Opened again, it starts from the newest download, as it did the first time.
    window->Table()->setCurrentIndex({});
    window->Reload();
    window->show();
    window->raise();
    window->activateWindow();
    // The rows have the focus: the selection shows as the active one and the arrow keys move it.
    window->Table()->setFocus(Qt::ActiveWindowFocusReason);
}

} // namespace comsetup
