// Prints the fonts the wizard's captions end up with, after the program's own start-up, with
// the font configuration read ahead on a second thread ("ahead") or left to the toolkit
// ("on-demand"). The font configuration test runs it both ways and compares.
#include "app/comsetup_application.h"
#include "app/font_configuration.h"
#include "app/startup.h"
#include "app/tf_selmode.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QList>
#include <QTextStream>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc != 2 || (std::strcmp(argv[1], "ahead") != 0 && std::strcmp(argv[1], "on-demand") != 0))
        return 2;
    const bool ahead = std::strcmp(argv[1], "ahead") == 0;
    std::optional<comsetup::FontConfigurationLoad> fonts;
    if (ahead)
        fonts.emplace();
    comsetup::ComsetupApplication app(argc, argv);
    const auto windows = comsetup::StartProgram(app);
    windows->BuildRest(); // every page's captions

    QTextStream out(stdout);
    out << "families " << QFontDatabase::families().size() << '\n';
    QList<QWidget*> widgets = windows->Wizard().findChildren<QWidget*>();
    std::sort(widgets.begin(), widgets.end(),
              [](QWidget* a, QWidget* b) { return a->objectName() < b->objectName(); });
    int labels = 0;
    for (QWidget* widget : widgets) {
        if (widget->objectName().isEmpty())
            continue;
        labels += qobject_cast<QLabel*>(widget) != nullptr;
        const QFontInfo info(widget->font());
        out << widget->metaObject()->className() << ' ' << widget->objectName() << ": "
            << info.family() << " / " << info.styleName() << " / " << info.pixelSize() << "px / "
            << info.weight() << (info.italic() ? " italic" : "") << '\n';
    }
    out << "labels " << labels << '\n';
    return labels > 0 ? 0 : 3;
}
