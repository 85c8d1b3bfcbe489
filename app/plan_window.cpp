// The plan window.
#include "app/plan_window.h"

#include "app/comsetup_application.h"
#include "app/converter_series.h"
#include "core/printable_text.h"
#include "widgets/message_box.h"

#include "config/journal.h"
#include "config/plan_journal.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace comsetup {

namespace {

enum Column { kRow, kIp, kMode, kPeer, kGateway, kState, kColumns };

// The marks of a row.
constexpr int kNotTried = 0, kDone = 1, kFailed = 2;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString PeerText(const config::PlanRow& row) {
    const auto& s = row.setup;
    if (s.mode == config::Mode::RemoteCom)
        return QStringLiteral("-");
    // The port the tunnel sends to is part of the peer: a pair or master row's own local port.
    const QString port = QString::number(s.remotePort);
    if (s.mode == config::Mode::PointToMultipoint && s.master)
        return QStringLiteral("broadcast:%1 (master)").arg(port);
    QString text = Text(config::FormatIpv4(s.peer)) + QLatin1Char(':') + port;
    if (row.peerCell == "pair" || row.peerCell == "master")
        text += QStringLiteral(" (%1)").arg(Text(row.peerCell));
    return text;
}

// The journal, when there is one to read: looking never creates one.
std::unique_ptr<config::Journal> ExistingJournal() {
    return config::OpenJournalToRead().journal;
}

QColor StateColour(int state, const QPalette& palette) {
    // Green and red deep enough for a light table, light enough for a dark one.
    const bool darkTable = palette.color(QPalette::Base).lightness() < 128;
    if (state == kDone)
        return darkTable ? QColor(110, 210, 110) : QColor(0, 110, 0);
    if (state == kFailed)
        return darkTable ? QColor(255, 120, 120) : QColor(170, 0, 0);
    return palette.color(QPalette::Text);
}

} // namespace

PlanWindow::PlanWindow(config::Plan plan, Start start, QWidget* parent)
    : QDialog(parent), plan_(std::move(plan)), startUnits_(std::move(start)),
      states_(plan_.rows.size(), kNotTried) {
    setWindowTitle(
        QStringLiteral("Plan %1").arg(QFileInfo(Text(PrintableDeviceName(plan_.name))).fileName()));
    table_ = new QTableWidget(static_cast<int>(plan_.rows.size()), kColumns, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("Row"), QStringLiteral("IP"),
                                       QStringLiteral("Mode"), QStringLiteral("Peer"),
                                       QStringLiteral("Gateway"), QStringLiteral("State")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < static_cast<int>(plan_.rows.size()); ++r) {
        const config::PlanRow& row = plan_.rows[static_cast<std::size_t>(r)];
        const auto& s = row.setup;
        const QStringList cells{QString::number(row.number),
                                Text(config::FormatIpv4(s.ip)),
                                Text(config::ModeName(s.mode)),
                                PeerText(row),
                                s.gateway ? Text(config::FormatIpv4(*s.gateway))
                                          : QStringLiteral("-"),
                                QString()};
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(QStringLiteral("line %1 of the plan").arg(row.line));
            table_->setItem(r, c, item);
        }
    }
    table_->resizeColumnsToContents();

    status_ = new QLabel(this);
    status_->setWordWrap(true);
    start_ = new QPushButton(this);
    start_->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(start_, &QPushButton::clicked, this,
            [this] { RunReporting([this] { StartClicked(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(start_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    resize(620, 380);
    Refresh();
}

void PlanWindow::Refresh() {
    QString fault;
    try {
        if (const auto journal = ExistingJournal()) {
            const auto states = config::PlanRowStates(*journal, plan_);
            for (std::size_t i = 0; i < states.size() && i < states_.size(); ++i)
                states_[i] = states[i] == config::RowState::Done     ? kDone
                             : states[i] == config::RowState::Failed ? kFailed
                                                                     : kNotTried;
        }
    } catch (const config::JournalError& error) {
        fault = QStringLiteral(" The journal cannot be read (%1): the rows show no marks.")
                    .arg(Text(error.what()));
    }
    int done = 0, failed = 0;
    for (int r = 0; r < table_->rowCount(); ++r) {
        const int state = states_[static_cast<std::size_t>(r)];
        done += state == kDone;
        failed += state == kFailed;
        QTableWidgetItem* item = table_->item(r, kState);
        item->setText(state == kDone     ? QStringLiteral("done")
                      : state == kFailed ? QStringLiteral("failed")
                                         : QStringLiteral("not tried"));
        item->setForeground(StateColour(state, table_->palette()));
    }
    status_->setText(QStringLiteral("%1 converters: %2 done, %3 failed.%4")
                         .arg(table_->rowCount())
                         .arg(done)
                         .arg(failed)
                         .arg(fault));
    const auto rows = RowsToWrite();
    start_->setEnabled(!rows.empty());
    start_->setText(rows.empty()
                        ? QStringLiteral("All done")
                        : QStringLiteral("Start at row %1").arg(plan_.rows[rows.front()].number));
}

std::vector<std::size_t> PlanWindow::RowsToWrite() const {
    std::vector<config::RowState> states;
    for (const int state : states_)
        states.push_back(state == kDone     ? config::RowState::Done
                         : state == kFailed ? config::RowState::Failed
                                            : config::RowState::NotTried);
    return config::RowsToRun(states); // sequence's rule: done rows are never written again
}

void PlanWindow::StartClicked() {
    auto rows = RowsToWrite();
    if (rows.empty())
        return;
    // An address already in a converter is written again only when the technician says so:
    // asked once for the plan, and a "no" leaves out those rows alone.
    std::vector<config::AddressUsed> used;
    try {
        if (const auto journal = ExistingJournal())
            used = config::AddressesUsedBefore(*journal, plan_, rows);
    } catch (const config::JournalError& error) {
        ShowMessage(QStringLiteral("The journal cannot be read, so addresses written before "
                                   "cannot be checked: %1")
                        .arg(Text(error.what())));
        return;
    }
    if (!used.empty() && !ConfirmWithTechnician(this, Text(config::ReuseQuestion(used))))
        rows = config::RowsNotUsedBefore(plan_, rows, used);
    if (rows.empty())
        return;
    std::vector<config::SetupProfile> units;
    std::vector<int> numbers;
    for (const std::size_t i : rows) {
        units.push_back(plan_.rows[i].setup);
        numbers.push_back(plan_.rows[i].number);
    }
    startUnits_(std::move(units), plan_.id, std::move(numbers),
                static_cast<int>(plan_.rows.size()));
}

PlanWindow* OpenPlan(QWidget* parent, const std::string& path, const config::SetupProfile& base,
                     PlanWindow::Start start) {
    static QPointer<PlanWindow> shown;
    config::Plan plan;
    try {
        plan = config::LoadPlanFile(path, base);
    } catch (const config::ValueError& error) {
        ShowMessage(QStringLiteral("This plan cannot be used:\n") + Text(error.what()));
        return nullptr;
    }
    delete shown; // one plan at a time
    shown = new PlanWindow(std::move(plan), std::move(start), parent);
    shown->setAttribute(Qt::WA_DeleteOnClose);
    shown->setWindowFlag(Qt::Window);
    shown->show();
    shown->raise();
    return shown;
}

} // namespace comsetup
