// The forms' editable combo boxes (a port, a baud rate, data bits: picked from the list or
// typed).
//
// QComboBox::setEditable(true) also builds the drop-down list's view and a completer there and
// then; with the line edit they are most of what an editable box costs, paid at start-up for
// every editable box of every window, hidden ones included. This box becomes editable through
// a line edit of its own (QComboBox::setLineEdit, Qt's other way to make a box editable), so
// that Qt builds the view, with the same item delegate, the first time the list drops down,
// and it completes nothing: what is typed is what the box holds. In every other respect it is
// one of the forms' combo boxes (ComboBox) made editable.
#pragma once

#include "app/combo_box.h"

namespace comsetup {

class EditableComboBox : public ComboBox {
    Q_OBJECT
public:
    explicit EditableComboBox(QWidget* parent = nullptr);

    // Hides QComboBox::setEditable for the forms' generated code, which calls it on this
    // class. Making the box editable gives it its line edit as above; the rest is
    // QComboBox::setEditable.
    void setEditable(bool editable);
};

} // namespace comsetup
