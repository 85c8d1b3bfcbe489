// The yardstick of comsetup's start-up: a minimal Qt Widgets program with four empty windows,
// the first shown and the other three hidden, ending at the first window's first paint.
// With --label the first window also shows one line of text, which is what any window with a
// caption pays on top (the font system's start).
#include "paint_watch.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget first, second, third, fourth;
    first.resize(423, 492);
    second.resize(525, 395);
    third.resize(415, 482);
    fourth.resize(265, 79);
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QStringLiteral("--label"))
        new QLabel(QStringLiteral("Select the Operating Modality"), &first); // owned by first
    comsetup::bench::PaintWatch watch(&first);
    first.show();
    return app.exec();
}
