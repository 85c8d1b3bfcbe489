// comsetup's start-up exactly as the program does it (font configuration read ahead,
// application object, the wizard with its mode page, shown), ending at the wizard's first
// paint; the probe ends once the settings pages and hidden windows that follow it are
// built, so that its peak memory counts them.
#include "paint_watch.h"

#include "app/comsetup_application.h"
#include "app/font_configuration.h"
#include "app/startup.h"
#include "app/tf_selmode.h"

int main(int argc, char** argv) {
    comsetup::FontConfigurationLoad fonts;
    comsetup::ComsetupApplication app(argc, argv);
    const auto windows = comsetup::StartProgram(app);
    comsetup::bench::PaintWatch watch(&windows->Wizard(),
                                      [&windows] { return windows->RestBuilt(); });
    return app.exec();
}
