// Choices of the windows' combo boxes and the contents of the port lists.
#include "app/combo_choice.h"

#include "download/port_search.h"
#include "serial/port_names.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>

namespace comsetup {

void ShowTextWithoutChoice(QComboBox* box, const QString& text) {
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

void ForgetChoiceWhenTyped(QComboBox* box) {
    QLineEdit* edit = box->lineEdit();
    if (!edit)
        return;
    box->setCompleter(nullptr);
    QObject::connect(edit, &QLineEdit::textEdited, box, [box, edit](const QString& typed) {
        if (box->currentIndex() < 0)
            return;
        const int caret = edit->cursorPosition();
        box->setCurrentIndex(-1); // empties the edit field ...
        edit->setText(typed);     // ... so the typed text is put back
        edit->setCursorPosition(caret);
    });
}

QStringList PortListEntries(const QStringList& devicesFound) {
    QStringList entries;
    for (int n = 1; n <= 9; ++n)
        entries << QStringLiteral("COM%1").arg(n);
    entries << devicesFound;
    entries << QString::fromLatin1(kAutoPortName.data(),
                                   static_cast<qsizetype>(kAutoPortName.size()));
    return entries;
}

void ShowStartOfName(QComboBox* box) {
    QLineEdit* edit = box->lineEdit();
    const auto show = [box, edit](const QString& text) {
        box->setToolTip(text);
        // A line edit keeps its caret at the end of a text set from code, which scrolls a
        // long device path to its tail ("ev/ttyS0"); while not typed into, show its start.
        if (edit && !edit->hasFocus())
            edit->setCursorPosition(0);
    };
    QObject::connect(box, &QComboBox::currentTextChanged, box, show);
    show(box->currentText());
}

QStringList SerialDevicesFound() {
    QStringList paths;
    for (const SerialPortInfo& port : ListSerialPorts())
        paths << QString::fromStdString(port.path);
    return paths;
}

void SetPortListEntries(QComboBox* box, const QStringList& entries) {
    const int chosen = box->currentIndex();
    const QString text = box->currentText();
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItems(entries);
    box->setCurrentIndex(chosen < entries.size() ? chosen : -1);
    if (box->isEditable())
        box->setEditText(chosen >= 0 && chosen < entries.size() ? entries[chosen] : text);
}

} // namespace comsetup
