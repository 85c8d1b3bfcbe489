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
                   const QString& filter, const QString& proposed) {
    if (Installed())
        return Installed()(parent, kind, caption, filter, proposed);
    return kind == FileChoiceKind::Open
               ? QFileDialog::getOpenFileName(parent, caption, proposed, filter)
               : QFileDialog::getSaveFileName(parent, caption, proposed, filter);
}

ScopedFileChoice::ScopedFileChoice(FileChoiceFunction f) : old_(std::move(Installed())) {
    Installed() = std::move(f);
}

ScopedFileChoice::~ScopedFileChoice() {
    Installed() = std::move(old_);
}

} // namespace comsetup
