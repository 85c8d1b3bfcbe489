// The look the forms were laid out for.
#include "app/form_look.h"

#include <QApplication>
#include <QFont>

namespace comsetup {

void ApplyApplicationLook(QApplication& app) {
    QFont font = QApplication::font();
    font.setPointSize(8);
    font.setStretch(QFont::SemiCondensed);
    app.setFont(font);
}

} // namespace comsetup
