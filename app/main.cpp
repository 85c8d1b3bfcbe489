// comsetup: configures an Ethernet-to-RS232/485 converter through a PC serial port. The
// wizard collects the settings; the hidden main setup window holds them and runs the download.
#include "app/comsetup_application.h"
#include "app/font_configuration.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    // Read on a second thread while the application object connects to the display.
    comsetup::FontConfigurationLoad fonts;
    comsetup::ComsetupApplication app(argc, argv);
    const auto windows = comsetup::StartProgram(app, &fonts);
    return app.exec();
}
