// The monitor window.
#include "app/tfmonitor.h"

#include "ui_tfmonitor.h"

#include "app/file_choice.h"
#include "app/window_geometry.h"
#include "widgets/message_box.h"

#include <QSaveFile>

TFmonitor* Fmonitor = nullptr;

TFmonitor::TFmonitor(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFmonitor>()) {
    ui->setupUi(this);
    lines_ = std::make_unique<comsetup::MemoLines>(*ui->Memo1);
    comsetup::SetOuterSize(this, {423, 509}, {200, 150}, false);
    move(264, 230);
    connect(ui->Button1, &QPushButton::clicked, this, [this] { Button1Click(ui->Button1); });
    connect(ui->BtnSaveLog, &QPushButton::clicked, this,
            [this] { BtnSaveLogClick(ui->BtnSaveLog); });
}

TFmonitor::~TFmonitor() = default;

void TFmonitor::Button1Click(QObject* /*Sender*/) {
    lines_->Clear();
}

void TFmonitor::BtnSaveLogClick(QObject* /*Sender*/) {
    const QString path =
        comsetup::ChooseFile(this, comsetup::FileChoiceKind::Save, QStringLiteral("Save log"),
                             QStringLiteral("Log files (*.log *.txt);;All files (*)"));
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
