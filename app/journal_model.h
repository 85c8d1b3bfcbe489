// The journal's rows as a table model, for a view that draws only the rows in sight: a
// listing of 10,000 downloads is one vector, not 10,000 widgets.
#pragma once

#include "config/journal.h"

#include <QAbstractTableModel>

#include <vector>

namespace comsetup {

class JournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Started, Port, Ip, Mac, Mode, Firmware, Verdict, ExitCode, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<config::JournalRow> rows);
    const std::vector<config::JournalRow>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // "2026-12-08T10:14:03Z" in the local time zone ("2026-12-08 11:14:03"); a text that is not
    // such a time as it is.
    static QString LocalTime(const std::string& utc);

private:
    std::vector<config::JournalRow> rows_;
};

} // namespace comsetup
