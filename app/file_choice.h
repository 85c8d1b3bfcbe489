// The file dialogs of the windows (profiles, the saved log), replaceable like the message
// function so that tests and scripts can answer them.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace comsetup {

enum class FileChoiceKind { Open, Save };

// Returns the chosen path, or an empty text when the user cancelled. `proposed`: the path the
// dialog starts with (a folder, or a file name to save to), "" for the dialog's own.
using FileChoiceFunction =
    std::function<QString(QWidget* parent, FileChoiceKind kind, const QString& caption,
                          const QString& filter, const QString& proposed)>;

QString ChooseFile(QWidget* parent, FileChoiceKind kind, const QString& caption,
                   const QString& filter, const QString& proposed = {});

// Installs f for the lifetime of the object (an empty f: the system's file dialogs).
class ScopedFileChoice {
public:
    explicit ScopedFileChoice(FileChoiceFunction f);
    ~ScopedFileChoice();
    ScopedFileChoice(const ScopedFileChoice&) = delete;
    ScopedFileChoice& operator=(const ScopedFileChoice&) = delete;

private:
    FileChoiceFunction old_;
};

} // namespace comsetup
