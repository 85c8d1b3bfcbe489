// The look the forms were laid out for.
#include "app/form_look.h"

#include <QApplication>
#include <QFont>
#include <QWidget>

namespace comsetup {

void ApplyApplicationLook(QApplication& app) {
    QFont font = QApplication::font();
    font.setStretch(QFont::SemiCondensed);
    app.setFont(font);
}

void ApplyFormLook(QWidget* window) {
    window->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 4px; padding: 0px 1px; }"));
}

} // namespace comsetup
