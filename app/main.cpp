// comsetup: configures an Ethernet-to-RS232/485 converter through a PC serial port. The
// wizard collects the settings; the hidden main setup window holds them and runs the download.
#include "app/comsetup_application.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    comsetup::ComsetupApplication app(argc, argv);
    const auto windows = comsetup::StartProgram(app);
    return app.exec();
}
