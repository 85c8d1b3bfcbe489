#include "app/command_line.h"

namespace comsetup {

namespace {

const char kHelp[] =
    "usage: comsetup [--help] [--version] [Qt options such as -platform NAME]\n"
    "Configures an Ethernet-to-RS232/485 converter through a PC serial port: a wizard asks\n"
    "for the operating mode and the settings, \"DownLoad\" types them into the converter's\n"
    "setup menu after it is switched off and on.\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version and exit\n"
#ifdef _WIN32
    "The COM port is the system's name (COM3, COM12); comsetup-cli list-ports shows them.\n"
    "From a console, comsetup-cli runs the same download.\n";
#else
    "COM1..COM9 open /dev/ttyS0..8 unless COMSETUP_COMn names another device. A user who\n"
    "may not open a port is told to join the group dialout. Without a display, comsetup-cli\n"
    "runs the same download.\n";
#endif

} // namespace

std::optional<CommandLineAnswer> AnswerWithoutWindow(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--version") {
            return CommandLineAnswer{0, std::string("comsetup ") + COMSETUP_VERSION + "\n"};
        }
        if (arg == "--help" || arg == "-h") {
            return CommandLineAnswer{0, kHelp};
        }
    }
    return std::nullopt;
}

} // namespace comsetup
