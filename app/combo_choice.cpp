// Choices of the windows' combo boxes and the contents of the port lists.
#include "app/combo_choice.h"

#include "app/combo_box.h"
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

PortEntries PortListEntries(const PortEntries& devicesFound) {
    PortEntries entries;
    for (int n = 1; n <= 9; ++n) {
        const QString com = QStringLiteral("COM%1").arg(n);
        const QString device = QString::fromStdString(ResolvePortName(com.toStdString()));
        entries.push_back({com, device != com ? device : QString()});
    }
    for (const PortEntry& found : devicesFound) {
        const int com = ComNumber(found.name.toStdString());
        if (com >= 1 && com <= 9 &&
            found.name.compare(entries[com - 1].name, Qt::CaseInsensitive) == 0)
            entries[com - 1].description = found.description;
        else
            entries.push_back(found);
    }
    entries.push_back(
        {QString::fromLatin1(kAutoPortName.data(), static_cast<qsizetype>(kAutoPortName.size())),
         QStringLiteral("the port the converter answers on")});
    return entries;
}

void ShowStartOfName(QComboBox* box) {
    QLineEdit* edit = box->lineEdit();
    const auto show = [edit] {
        // A line edit keeps its caret at the end of a text set from code, which scrolls a
        // long device path to its tail ("ev/ttyS0"); while not typed into, show its start.
        if (edit && !edit->hasFocus())
            edit->setCursorPosition(0);
    };
    QObject::connect(box, &QComboBox::currentTextChanged, box, show);
    show();
}

PortEntries SerialDevicesFound() {
    PortEntries ports;
    for (const SerialPortInfo& port : ListSerialPorts())
        ports.push_back(
            {QString::fromStdString(port.path), QString::fromStdString(port.description)});
    return ports;
}

void SetPortListEntries(QComboBox* box, const PortEntries& entries) {
    const int chosen = box->currentIndex();
    const QString text = box->currentText();
    const QSignalBlocker quiet(box);
    box->clear();
    for (const PortEntry& entry : entries) {
        box->addItem(entry.name);
        if (!entry.description.isEmpty())
            box->setItemData(box->count() - 1, entry.description, ComboBox::kDescriptionRole);
    }
    box->setCurrentIndex(chosen < entries.size() ? chosen : -1);
    if (box->isEditable())
        box->setEditText(chosen >= 0 && chosen < entries.size() ? entries[chosen].name : text);
}

} // namespace comsetup
