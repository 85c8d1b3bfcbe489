// "Journal...": the downloads recorded in the journal, newest first, with the command line's
// filters (since a date, IP, port, verdict), the selected download's monitor log below the
// list, "Export CSV..." of the rows listed, and "Use these values", which loads the selected
// download's setup into the wizard on its mode's page.
//
// Looking never creates a journal: a missing file or one that cannot be read (damaged, written
// by a newer comsetup) is said in the window, naming the file.
#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTableView;

namespace comsetup {

namespace config {
struct JournalFilter;
struct JournalRow;
struct SetupProfile;
} // namespace config

class JournalModel;

class JournalWindow : public QDialog {
    Q_OBJECT
public:
    // useValues: what "Use these values" does with the selected download's setup.
    JournalWindow(std::function<void(const config::SetupProfile&)> useValues,
                  QWidget* parent = nullptr);
    ~JournalWindow() override;

    // Reads the journal again with the filters as they stand.
    void Reload();

    // The controls, for the keyboard's order and for tests.
    QCheckBox* SinceBox() const { return sinceBox_; }
    QDateEdit* SinceDate() const { return sinceDate_; }
    QLineEdit* IpFilter() const { return ip_; }
    QLineEdit* PortFilter() const { return port_; }
    QComboBox* VerdictFilter() const { return verdict_; }
    QTableView* Table() const { return table_; }
    QPlainTextEdit* Log() const { return log_; }
    QLabel* Status() const { return status_; }
    QPushButton* ExportButton() const { return export_; }
    QPushButton* UseButton() const { return use_; }
    const JournalModel& Model() const { return *model_; }

    // Closes without applying a filter typed but not entered: the focus leaving it on the way
    // out reads nothing.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The parts of the window, made once by the constructor.
    QHBoxLayout* MakeFilters();
    QSplitter* MakeListAndLog();
    QHBoxLayout* MakeButtons();
    void ConnectControls();
    void SetKeyboardOrder(); // Tab's order and what Enter presses

    QString FilterState() const;
    // The filters as the journal takes them; nothing (and the fault said) for an address
    // that is none.
    std::optional<config::JournalFilter> FilterFromControls();
    // rows listed, the selected download kept selected where it still is.
    void ShowRows(std::vector<config::JournalRow> rows, const QString& shownPath);
    void ApplyEditedFilter();
    void FitDateEdit();
    void ShowSelected();
    void ExportCsv();
    void UseSelected();
    void ShowFault(const QString& text);

    std::function<void(const config::SetupProfile&)> useValues_;
    std::string path_;
    QCheckBox* sinceBox_;
    QDateEdit* sinceDate_;
    QLineEdit* ip_;
    QLineEdit* port_;
    QComboBox* verdict_;
    QTableView* table_;
    QPlainTextEdit* log_;
    QLabel* status_;
    QPushButton* export_;
    QPushButton* use_;
    QPushButton* close_;
    JournalModel* model_;
    QString listedFilter_; // FilterState() of the rows listed
    bool closing_ = false;
};

} // namespace comsetup

namespace comsetup {

// Shows the one journal window (built on first use, read again each time), or says that this
// build has no journal. "Use these values" goes to the wizard.
void ShowJournalWindow(QWidget* parent);

} // namespace comsetup
