// The monitor window.
#include "app/tfmonitor.h"

#include "ui_tfmonitor.h"

#include "app/file_choice.h"
#include "app/window_geometry.h"
#include "widgets/message_box.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>

TFmonitor* Fmonitor = nullptr;

TFmonitor::TFmonitor(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFmonitor>()) {
    ui->setupUi(this);
    lines_ = std::make_unique<comsetup::MemoLines>(*ui->Memo1);
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
    // Written to a temporary file and renamed over the target: a failure leaves any earlier
    // file as it was. The lines go out as Latin-1, byte for byte as the converter sent them.
    QSaveFile file(path);
    QByteArray bytes;
    for (int i = 0; i < lines_->Count(); ++i)
        bytes += lines_->Line(i).toLatin1() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        comsetup::ShowMessage(
            QStringLiteral("The log could not be written to %1: %2").arg(path, file.errorString()));
}
