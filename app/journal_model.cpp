// The journal's rows as a table model.
#include "app/journal_model.h"

#include "core/printable_text.h"

#include <QDateTime>

namespace comsetup {

void JournalModel::SetRows(std::vector<config::JournalRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int JournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString JournalModel::LocalTime(const std::string& utc) {
    const QDateTime time = QDateTime::fromString(QString::fromStdString(utc), Qt::ISODate);
    if (!time.isValid())
        return QString::fromStdString(utc);
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size()))
        return {};
    const config::JournalRow& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::ToolTipRole && index.column() == Started)
        return QString::fromStdString(row.startedUtc + " (UTC)");
    if (role == Qt::ToolTipRole && index.column() == Verdict && !row.end.cause.empty())
        return QString::fromStdString(row.end.cause);
    if (role != Qt::DisplayRole)
        return {};
    const auto text = [](const std::string& s) { return QString::fromStdString(s); };
    switch (index.column()) {
    case Started:
        return LocalTime(row.startedUtc);
    case Port:
        return text(PrintableDeviceName(row.start.setup.port));
    case Ip:
        return text(config::FormatIpv4(row.start.setup.ip));
    case Mac: // the converter's, as the LAN check found it after the write
        return row.end.lan && !row.end.lan->mac.empty() ? text(row.end.lan->mac)
                                                        : QStringLiteral("-");
    case Mode:
        return text(config::ModeName(row.start.setup.mode) +
                    (row.start.setup.master ? ", master" : ""));
    case Firmware:
        return row.end.firmware.empty() ? QStringLiteral("-") : text(row.end.firmware);
    case Verdict:
        // A row without an end: the download was killed or the program ended during it.
        return row.endedUtc.empty() ? QStringLiteral("did not finish") : text(row.end.verdict);
    case ExitCode:
        return row.end.exitCode ? QVariant(*row.end.exitCode) : QVariant(QStringLiteral("-"));
    default:
        return {};
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const kNames[] = {"Started", "Port",     "IP",      "MAC",
                                         "Mode",    "Firmware", "Verdict", "Exit code"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kNames[section])
                                                 : QVariant();
}

} // namespace comsetup
