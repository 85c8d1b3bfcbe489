#include "sim/converter_texts.h"

#include <cstdio>

namespace comsetup::sim {
namespace {

// The services section: eight questions, one more on the newer firmware (inserted as the
// seventh).
constexpr const char* kServices[] = {
    "Setup over the network allowed",
    "Firmware update over the network allowed",
    "Answer discovery queries",
    "Web page enabled",
    "Keep-alive probes",
    "Status LED enabled",
    "Port monitor enabled",
    "Encrypted setup",
};
constexpr const char* kExtraService = "Extended diagnostics";
constexpr int kExtraServiceIndex = 6;

} // namespace

std::string BannerText(const std::string& version) {
    return "\r\n"
           "Serial device server\r\n"
           "SOFTWARE VERSION " +
           version +
           " (setup port)\r\n"
           "Ethernet address 02-00-00-00-10-01\r\n"
           "Press Enter for the setup menu\r\n";
}

std::string ShortAnswerText() {
    return "\r\nERR 7\r\n";
}

std::string GarbageText() {
    // A fixed pseudo-random stream, so that every run sends the same garbage.
    std::string text;
    std::uint32_t state = 0x2545F491u;
    for (int i = 0; i < 160; ++i) {
        state = state * 1664525u + 1013904223u;
        text.push_back(static_cast<char>(state >> 24));
    }
    return text;
}

std::string FloodChunk(std::uint64_t& lineNumber) {
    std::string text;
    for (int i = 0; i < 16; ++i) {
        char line[80];
        std::snprintf(line, sizeof line,
                      "flood %06llu 0123456789abcdefghijklmnopqrstuvwxyzABCDEFGH\r\n",
                      static_cast<unsigned long long>(++lineNumber % 1000000));
        text += line;
    }
    return text;
}

std::string SettingsSummary(const ConverterSettings& s) {
    std::string text = "\r\nCurrent settings\r\n";
    text += "  IP " + FormatAddress(s.ip) + ", host bits " + std::to_string(s.hostBits) +
            ", gateway " + (s.useGateway ? FormatAddress(s.gateway) : std::string("none")) + "\r\n";
    text += "  Serial line " + s.baud + " baud, code " + FormatHex(s.lineCode) + ", flow " +
            FormatHex(s.flowCode) + ", local port " + s.localPort + "\r\n";
    text += "  Connect mode " + FormatHex(s.connectCode) + ", remote " + FormatAddress(s.remote) +
            ":" + s.remotePort + "\r\n";
    return text;
}

std::string MainMenuText(bool withExitWithout) {
    std::string text = "\r\nSetup menu\r\n"
                       "  0 Network settings\r\n"
                       "  1 Serial line settings\r\n"
                       "  6 Services\r\n"
                       "  7 Factory defaults\r\n";
    text += withExitWithout ? "  8 Exit without saving\r\n" : "  8 Quit, changes dropped\r\n";
    text += "  9 Save and restart\r\n"
            "Your choice ? ";
    return text;
}

std::string SaveAndRestartText(bool withExitWithout) {
    // Two full lines: a download copies them right after this answer and looks at the
    // first of them.
    return withExitWithout ? "Exit without errors, settings saved.\r\nRestarting, please wait\r\n"
                           : "Settings saved.\r\nRestarting, please wait\r\n";
}

std::string LeaveWithoutSavingText() {
    return "Leaving setup, changes dropped.\r\nRestarting, please wait\r\n";
}

int ServiceQuestionCount(Firmware f) {
    return f == Firmware::V01_8 ? 8 : 9;
}

std::string ServiceQuestion(Firmware f, int index) {
    if (f == Firmware::V6_5_0_7) {
        if (index == kExtraServiceIndex)
            return kExtraService;
        if (index > kExtraServiceIndex)
            --index;
    }
    if (index < 0 || index >= 8)
        return "Reserved";
    return kServices[index];
}

std::string FirmwareVersionText(Firmware f, FailMode fail) {
    if (fail == FailMode::UnknownFirmware)
        return "V7.0.0.1";
    return f == Firmware::V01_8 ? "01.8" : "V6.5.0.7";
}

} // namespace comsetup::sim
