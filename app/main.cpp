// comsetup: configures an Ethernet-to-RS232/485 converter through a PC serial port. The
// wizard collects the settings; the hidden main setup window holds them and runs the download.
#include "app/command_line.h"
#include "app/comsetup_application.h"
#include "app/font_configuration.h"
#include "app/parent_console.h"
#include "app/startup.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (const auto answer =
            comsetup::AnswerWithoutWindow(std::vector<std::string>(argv + 1, argv + argc))) {
        comsetup::WriteToParentConsole();
        std::fputs(answer->out.c_str(), stdout);
        return answer->exitCode;
    }
    // Read on a second thread while the application object connects to the display.
    comsetup::FontConfigurationLoad fonts;
    comsetup::ComsetupApplication app(argc, argv);
    const auto windows = comsetup::StartProgram(app);
    return app.exec();
}
