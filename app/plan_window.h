// "Open plan...": a plan's converters, one row each (address, mode, peer, gateway), with what
// the journal says of each (done, failed, not tried), and "Start at row N", which writes the
// rows not done (config::RowsToRun, sequence's rule) as a series of the progress dialog
// ("converter 4 of 20"; "Retry" for a failed unit). Each unit's download is recorded as its
// row of the plan, and the marks follow every download's end, so a plan left half done is
// resumed where it stopped. Addresses a completed download wrote before are asked about once
// first ("... use it again?"); a "no" leaves those rows out.
#pragma once

#include "config/plan.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace comsetup {

class PlanWindow : public QDialog {
    Q_OBJECT
public:
    // start: writes the given units (the rows' setups and their row numbers, of a plan of
    // planRows rows) as a series.
    using Start = std::function<void(std::vector<config::SetupProfile> units, std::string planId,
                                     std::vector<int> rowNumbers, int planRows)>;
    PlanWindow(config::Plan plan, Start start, QWidget* parent = nullptr);

    // Reads the rows' marks from the journal again.
    void Refresh();

    QTableWidget* Table() const { return table_; }
    QLabel* Status() const { return status_; }
    QPushButton* StartButton() const { return start_; }

private:
    void StartClicked();
    // The rows not done, or none when every row is done.
    std::vector<std::size_t> RowsToWrite() const;

    config::Plan plan_;
    Start startUnits_;
    std::vector<int> states_; // config::RowState of each row (NotTried without a journal)
    QTableWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* start_ = nullptr;
};

// Reads the plan at path onto `base` (the defaults) and shows its window (one at a
// time, owned by parent); a plan that cannot be read is said with every problem found, and
// nothing is returned.
PlanWindow* OpenPlan(QWidget* parent, const std::string& path, const config::SetupProfile& base,
                     PlanWindow::Start start);

} // namespace comsetup
