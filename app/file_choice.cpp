// The windows' file dialogs.
#include "app/file_choice.h"

#include <QFileDialog>

namespace comsetup {

namespace {

FileChoiceFunction& Installed() {
    static FileChoiceFunction installed;
    return installed;
}

} // namespace

QString ChooseFile(QWidget* parent, FileChoiceKind kind, const QString& caption,
                   const QString& filter) {
    if (Installed())
        return Installed()(parent, kind, caption, filter);
    return kind == FileChoiceKind::Open
               ? QFileDialog::getOpenFileName(parent, caption, QString(), filter)
               : QFileDialog::getSaveFileName(parent, caption, QString(), filter);
}

ScopedFileChoice::ScopedFileChoice(FileChoiceFunction f) : old_(std::move(Installed())) {
    Installed() = std::move(f);
}

ScopedFileChoice::~ScopedFileChoice() {
    Installed() = std::move(old_);
}

} // namespace comsetup
