// "Next converter": after a unit's "Setup Complete", the progress dialog offers to write the
// next one on the same port with the next setup of a config::UnitSeries (the address one
// higher), once the technician has confirmed that it is connected. A unit that fails is
// offered again ("Retry"). The wizard's fields follow the unit being written, and each unit is
// a download of its own (journal, log, verdict) as from "DownLoad". A download started from
// the wizard itself ends the series.
#pragma once

#include "config/unit_series.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class TF_selmode;
class TFmain;
class Tfprog;

namespace comsetup {

// Asks the technician to connect the next unit; true when confirmed. Replaceable for tests.
using UnitConfirmation = std::function<bool(QWidget* parent, const QString& text)>;

// Asks the technician through the installed confirmation (OK / Cancel).
bool ConfirmWithTechnician(QWidget* parent, const QString& text);

class ScopedUnitConfirmation {
public:
    explicit ScopedUnitConfirmation(UnitConfirmation f);
    ~ScopedUnitConfirmation();
    ScopedUnitConfirmation(const ScopedUnitConfirmation&) = delete;
    ScopedUnitConfirmation& operator=(const ScopedUnitConfirmation&) = delete;

private:
    UnitConfirmation old_;
};

class ConverterSeries : public QObject {
    Q_OBJECT
public:
    ConverterSeries(TF_selmode& wizard, TFmain& main, Tfprog& progress);

    bool Started() const { return series_.has_value(); }
    // Starts a series over the given setups (a plan) with the first of them, as the next
    // download; the count then reads "converter N of M", or for a plan's rows the plan's
    // count ("row 4 of 5"). With a plan's id, each unit's download is recorded in the journal
    // as the plan's row of the same place in rowNumbers. After the last one, no "Next
    // converter" is offered.
    void StartPlanned(std::vector<config::SetupProfile> plan, std::string planId = {},
                      std::vector<int> rowNumbers = {}, int planRows = 0);

    // "Next converter" / "Retry".
    void NextClicked();

private:
    void DownloadStarted();
    void DownloadEnded();
    // Writes the series' current unit: the wizard shows it, then its download runs.
    void WriteCurrent();

    TF_selmode& wizard_;
    TFmain& main_;
    Tfprog& progress_;
    std::optional<config::UnitSeries> series_;
    std::string planId_;                // the plan the series writes, "" for none
    std::vector<int> planRows_;         // the plan's row number of each unit
    std::optional<std::string> noNext_; // why no unit follows the last one written
    bool writingUnit_ = false;          // the running download is the series'
    bool lastFailed_ = false;
};

} // namespace comsetup
