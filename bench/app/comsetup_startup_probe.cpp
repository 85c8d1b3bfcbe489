// comsetup's start-up exactly as the program does it (font configuration read ahead,
// application object, windows from their forms, port lists, wizard shown), ending at the
// wizard's first paint.
#include "paint_watch.h"

#include "app/comsetup_application.h"
#include "app/font_configuration.h"
#include "app/startup.h"
#include "app/tf_selmode.h"

int main(int argc, char** argv) {
    comsetup::FontConfigurationLoad fonts;
    comsetup::ComsetupApplication app(argc, argv);
    const auto windows = comsetup::StartProgram(app, &fonts);
    comsetup::bench::PaintWatch watch(&windows->Wizard());
    return app.exec();
}
