// The monitor window.
#include "app/tfmonitor.h"

#include "ui_tfmonitor.h"

#include "app/file_choice.h"
#include "app/system_fonts.h"
#include "app/window_geometry.h"
#include "config/config_files.h"
#include "config/setup_options.h"
#include "core/printable_text.h"
#include "widgets/message_box.h"

#include <QDateTime>
#include <QDir>
#include <QKeyEvent>
#include <QStandardPaths>

TFmonitor* Fmonitor = nullptr;

TFmonitor::TFmonitor(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFmonitor>()) {
    ui->setupUi(this);
    lines_ = std::make_unique<comsetup::MemoLines>(*ui->Memo1);
    // The converter's menus line up in columns only in a fixed-pitch face.
    ui->Memo1->setFont(comsetup::MonospaceFont(ui->Memo1->font()));
    comsetup::SetOuterSize(this, {423, 509}, {200, 150}, false);
    move(264, 230);
    connect(ui->Button1, &QPushButton::clicked, this, [this] { Button1Click(ui->Button1); });
    connect(ui->BtnSaveLog, &QPushButton::clicked, this,
            [this] { BtnSaveLogClick(ui->BtnSaveLog); });
    for (QPushButton* button : {ui->Button1, ui->BtnSaveLog})
        button->setAutoDefault(true); // Enter presses a focused button, as in a dialog
}

void TFmonitor::ShowLog() {
    show();
    raise();
    activateWindow();
}

void TFmonitor::keyPressEvent(QKeyEvent* event) {
    // Esc closes the window as it closes a dialog (the log goes nowhere: "Log..." shows it
    // again); the text field passes on the keys it does not use.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString TFmonitor::ProposedLogName(const QDateTime& now) {
    return QStringLiteral("comsetup-log-%1.txt")
        .arg(now.toString(QStringLiteral("yyyyMMdd-hhmmss")));
}

TFmonitor::~TFmonitor() = default;

void TFmonitor::Button1Click(QObject* /*Sender*/) {
    lines_->Clear();
}

void TFmonitor::BtnSaveLogClick(QObject* /*Sender*/) {
    // A plain text file any editor opens, dated, in the user's documents.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString proposed = QDir(folder.isEmpty() ? QDir::homePath() : folder)
                                 .filePath(ProposedLogName(QDateTime::currentDateTime()));
    const QString path =
        comsetup::ChooseFile(this, comsetup::FileChoiceKind::Save, QStringLiteral("Save log"),
                             QStringLiteral("Text files (*.txt *.log);;All files (*)"), proposed);
    if (path.isEmpty())
        return;
    // Written as the profiles are: to a temporary file renamed over a regular file only, so a
    // failure leaves any earlier file as it was and a device or pipe is refused. The lines
    // are the converter's bytes (Latin-1) with control characters escaped, so that showing
    // the file in a terminal cannot drive it.
    std::string text;
    for (int i = 0; i < lines_->Count(); ++i)
        text += comsetup::EscapeLogText(lines_->Line(i).toLatin1().toStdString()) + '\n';
    try {
        comsetup::config::WriteFileAtomically(path.toStdString(), text);
    } catch (const comsetup::config::ValueError& error) {
        comsetup::ShowMessage(QStringLiteral("The log could not be written: ") +
                              QString::fromStdString(error.what()));
    }
}
