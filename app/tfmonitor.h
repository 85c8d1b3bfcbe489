// The monitor window: a plain text log that the download fills with what the converter sends
// and with lines of its own. Created hidden; the progress dialog's "Log" shows it, and it
// follows the lines as they come. "Save log..." writes the log to a file.
#pragma once

#include "app/memo_lines.h"

#include <QWidget>

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

public slots:
    // "Clear": empties the log.
    void Button1Click(QObject* Sender);
    // "Save log...": asks for a file and writes every line to it (replacing it whole).
    void BtnSaveLogClick(QObject* Sender);

private:
    std::unique_ptr<Ui::TFmonitor> ui;
    std::unique_ptr<comsetup::MemoLines> lines_;
};

extern TFmonitor* Fmonitor;
