// Causes and summaries shown below a download's verdict.
#include "download/verdict_lines.h"

#include "download/driver.h"
#include "download/script.h"

namespace comsetup {

namespace {

constexpr std::size_t kVersionShownMax = 20; // a version longer than this is garbage

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text;
}

// Another program reading the port takes what the converter sends, whichever reads first.
std::string OtherUsersNote(const std::vector<std::string>& otherUsers) {
    return Joined(otherUsers) + (otherUsers.size() == 1 ? " has" : " have") +
           " the port open too and may take the converter's answers: close it";
}

std::string WithOtherUsers(std::string cause, const std::vector<std::string>& otherUsers) {
    return otherUsers.empty() ? cause : cause + "; " + OtherUsersNote(otherUsers);
}

std::string Dotted(const AddressBytes& bytes) {
    std::string text;
    for (int byte : bytes) {
        text += (text.empty() ? "" : ".") + std::to_string(byte & 0xFF);
    }
    return text;
}

std::string Bytes(int count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

} // namespace

std::string ReadableVersion(const std::string& version) {
    std::string shown;
    for (char c : version.substr(0, kVersionShownMax)) {
        shown.push_back(c > ' ' && c < 127 ? c : '?');
    }
    return version.size() > kVersionShownMax ? shown + "..." : shown;
}

std::string NoAnswerCause(const std::vector<std::string>& ports,
                          const std::vector<std::string>& otherUsers) {
    const std::string where = ports.size() == 1 ? ports[0] : "any of " + Joined(ports);
    return "no answer on " + where + " in " + std::to_string(kAnswerLimitMs / 1000) + " s: " +
           (otherUsers.empty() ? "check the cable and that the converter was switched off and on"
                               : OtherUsersNote(otherUsers));
}

std::string ShortAnswerCause(int bytes, const std::vector<std::string>& otherUsers) {
    return WithOtherUsers("the converter answered " + Bytes(bytes) + ", not a banner", otherUsers);
}

std::string FirmwareCause(std::span<const std::uint8_t> banner,
                          const std::vector<std::string>& otherUsers) {
    const int count = static_cast<int>(banner.size());
    std::string cause;
    if (!NamesVersionKey(banner)) {
        cause = "the converter answered " + Bytes(count) +
                ", none naming its firmware (no \"SOFTWARE VERSION\")";
    } else if (const std::string version = ExtractFirmwareVersion(banner); version.empty()) {
        cause = "the banner names no firmware version after \"SOFTWARE VERSION\"";
    } else {
        cause = "firmware " + ReadableVersion(version) + " is not one this program knows (" +
                FirmwareName(FirmwareVariant::V01_8) + ", " +
                FirmwareName(FirmwareVariant::V6_5_0_7) + ")";
    }
    return WithOtherUsers(cause, otherUsers);
}

namespace {

// The converter's LAN and serial settings: "192.168.1.200/24, 9600 8N1, port 10001".
std::string LanAndLine(const SetupValues& values) {
    static const char* const kFlowNames[] = {"", "XON/XOFF", "CTS/RTS",
                                             "XON/XOFF pass characters to host"};
    std::string text = Dotted(values.ip) + "/" + std::to_string(32 - HostBits(values.mask));
    if (values.useGateway) {
        text += ", gateway " + Dotted(values.gateway);
    }
    const char parity = values.parityIndex == 1 ? 'O' : values.parityIndex == 2 ? 'E' : 'N';
    text += ", " + values.baudText + " " + (values.dataBitsText == "8" ? "8" : "7") + parity +
            (values.stopBitsIndex == 1 ? "2" : "1");
    if (values.flowIndex >= 1 && values.flowIndex <= 3) {
        text += std::string(", flow ") + kFlowNames[values.flowIndex];
    }
    return text + ", port " + values.localPortText;
}

std::string Peer(const SetupValues& values) {
    return Dotted(values.remote) + ":" + std::to_string(values.remotePort);
}

constexpr std::string_view kHeaderMark = "==== ";

} // namespace

std::string WrittenSummary(const SetupValues& values, FirmwareVariant variant) {
    std::string text = LanAndLine(values);
    if (values.tunnel) {
        // The newer firmware's broadcast answer replaces the peer address (see the script).
        text += variant == FirmwareVariant::V6_5_0_7 && values.broadcast
                    ? ", answers broadcasts to port " + std::to_string(values.remotePort)
                    : ", peer " + Peer(values);
    }
    return text + ", saved by firmware " + FirmwareName(variant);
}

std::string LogHeadline(const std::string& started, const std::string& port,
                        std::string_view verdict) {
    return std::string(kHeaderMark) + started + "  " + port + "  " + std::string(verdict);
}

std::string LogValuesLine(const SetupValues& values) {
    std::string text = std::string(kHeaderMark) + LanAndLine(values);
    if (values.tunnel) {
        text += ", peer " + Peer(values) + (values.broadcast ? " (master side)" : "");
    }
    return text;
}

} // namespace comsetup
