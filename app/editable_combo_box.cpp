// The forms' editable combo boxes.
#include "app/editable_combo_box.h"

#include <QCompleter>
#include <QLineEdit>
#include <QPointer>

namespace comsetup {

EditableComboBox::EditableComboBox(QWidget* parent) : ComboBox(parent) {}

void EditableComboBox::setEditable(bool editable) {
    if (!editable || isEditable()) {
        QComboBox::setEditable(editable);
        return;
    }
    auto* edit = new QLineEdit(this);
    edit->setPalette(palette()); // as QComboBox::setEditable gives its own line edit
    // setLineEdit builds a completer over the entries for a line edit that has none; a bare
    // one here keeps it from doing so, and goes again at once (the box deletes it).
    const QPointer<QCompleter> placeholder = new QCompleter(edit);
    edit->setCompleter(placeholder);
    setLineEdit(edit);
    setCompleter(nullptr);
    delete placeholder.data();
    if (!testAttribute(Qt::WA_Resized))
        adjustSize(); // as QComboBox::setEditable does for a box not sized yet
}

} // namespace comsetup
