// Placement helpers for the program's windows.
#include "app/window_geometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace comsetup {

QMargins NominalFrameMargins() {
    return {3, 25, 3, 3};
}

static QMargins FrameOf(const QWidget* window) {
    if (const QWindow* handle = window->windowHandle()) {
        const QMargins real = handle->frameMargins();
        if (!real.isNull())
            return real;
    }
    return NominalFrameMargins();
}

void SetOuterSize(QWidget* window, QSize outer, QSize minimumClient, bool fixed) {
    const QMargins frame = FrameOf(window);
    const QSize client = QSize(outer.width() - frame.left() - frame.right(),
                               outer.height() - frame.top() - frame.bottom())
                             .expandedTo(minimumClient);
    if (fixed)
        window->setFixedSize(client);
    else
        window->resize(client);
}

void CentreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QMargins frame = FrameOf(window);
    const QSize outer = window->size().grownBy(frame);
    const QRect area = screen->availableGeometry();
    const QPoint topLeft(area.x() + (area.width() - outer.width()) / 2,
                         area.y() + (area.height() - outer.height()) / 2);
    window->move(std::max(topLeft.x(), area.x()), std::max(topLeft.y(), area.y()));
}

} // namespace comsetup
