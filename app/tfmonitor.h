// The monitor window: a plain text log that the download fills with what the converter sends
// and with lines of its own, each download's part under a header (when, port, values,
// verdict). Created hidden; the progress dialog's "Log" shows it during a download, the
// wizard's "Log..." at any time, and it follows the lines as they come. "Save log..." writes
// the log to a file, proposing a dated text file. Esc closes it, as it closes a dialog.
#pragma once

#include "app/memo_lines.h"

#include <QWidget>

class QDateTime;
class QKeyEvent;

#include <memory>

namespace Ui {
class TFmonitor;
}

class TFmonitor : public QWidget {
    Q_OBJECT
public:
    explicit TFmonitor(QWidget* parent = nullptr);
    ~TFmonitor() override;

    Ui::TFmonitor& Form() { return *ui; }
    comsetup::MemoLines& Lines() { return *lines_; }

    // Shows the window in front of the others.
    void ShowLog();
    // The name "Save log..." proposes: "comsetup-log-20240501-103205.txt" at `now`.
    static QString ProposedLogName(const QDateTime& now);

public slots:
    // "Clear": empties the log.
    void Button1Click(QObject* Sender);
    // "Save log...": asks for a file and writes every line to it (replacing it whole).
    void BtnSaveLogClick(QObject* Sender);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::TFmonitor> ui;
    std::unique_ptr<comsetup::MemoLines> lines_;
};

extern TFmonitor* Fmonitor;
