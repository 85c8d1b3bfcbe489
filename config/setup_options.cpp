// Parsing and checking of the setup values of comsetup-cli.
#include "config/setup_options.h"

#include "config/value_rules.h"
#include "core/plain_text.h"
#include "core/printable_text.h"
#include "download/setup_rules.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace comsetup::config {

namespace {

// A whole decimal number of at most nine digits, nothing else (no sign, no blanks inside).
std::optional<int> ParseDecimal(const std::string& text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text[0] == '-' ||
        text[0] == '+') {
        return std::nullopt;
    }
    return value;
}

std::string Quoted(const std::string& text) {
    return QuoteForMessage(text);
}

bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

[[noreturn]] void Refuse(const std::string& text, const std::string& accepted) {
    throw ValueError(Quoted(text) + " is not accepted; accepted values: " + accepted);
}

// Index of text in names (case-insensitive), or -1.
int IndexOf(const std::vector<std::string>& names, const std::string& text) {
    const std::string wanted = Lower(Trim(text));
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (Lower(names[i]) == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int PickFrom(const std::vector<std::string>& names, const std::string& text) {
    const int index = IndexOf(names, text);
    if (index < 0) {
        Refuse(text, JoinAccepted(names));
    }
    return index;
}

const char* const kIpv4Accepted = "four numbers 0-255 separated by dots, such as 192.168.1.200";

} // namespace

const std::vector<std::string>& ModeNames() {
    static const std::vector<std::string> names{"remote-com", "point-to-point",
                                                "point-to-multipoint"};
    return names;
}

const std::vector<std::string>& ParityNames() {
    static const std::vector<std::string> names{"none", "odd", "even"};
    return names;
}

const std::vector<std::string>& StopBitNames() {
    static const std::vector<std::string> names{"1", "2"};
    return names;
}

const std::vector<std::string>& FlowNames() {
    static const std::vector<std::string> names{"none", "xon-xoff", "cts-rts", "xon-xoff-pass"};
    return names;
}

const std::vector<int>& BaudRates() {
    static const std::vector<int> rates{300,   600,   1200,  2400,   4800,  9600,
                                        19200, 38400, 57600, 115200, 230400};
    return rates;
}

std::string JoinAccepted(const std::vector<std::string>& names) {
    std::string joined;
    for (const auto& name : names) {
        joined += (joined.empty() ? "" : ", ") + name;
    }
    return joined;
}

Mode ParseMode(const std::string& text) {
    return static_cast<Mode>(PickFrom(ModeNames(), text) + 1);
}

Ipv4 ParseIpv4(const std::string& given) {
    const std::string text = Trim(given);
    Ipv4 address{};
    std::size_t start = 0;
    for (std::size_t i = 0; i < address.size(); ++i) {
        const std::size_t dot = text.find('.', start);
        const bool last = i + 1 == address.size();
        if (last != (dot == std::string::npos)) {
            Refuse(text, kIpv4Accepted);
        }
        const std::string part = text.substr(start, last ? std::string::npos : dot - start);
        const auto value = ParseDecimal(part);
        if (!value || *value > 255 || part.size() > 3) {
            Refuse(text, kIpv4Accepted);
        }
        address[i] = *value;
        start = dot + 1;
    }
    return address;
}

Ipv4 ParseMask(const std::string& text) {
    const Ipv4 mask = ParseIpv4(text);
    if (const auto message = CheckSubnetMask(mask)) {
        throw ValueError(Quoted(text) + " is refused. " + *message);
    }
    return mask;
}

int ParseTcpPort(const std::string& text) {
    const auto value = ParseDecimal(Trim(text));
    // The same rule as the wizard's: the converter cannot listen on 0 (nor on 65536).
    if (!value || *value < kLocalPortMin || *value > kLocalPortMax) {
        Refuse(text, "a TCP port number from " + std::to_string(kLocalPortMin) + " to " +
                         std::to_string(kLocalPortMax));
    }
    return *value;
}

int ParseRemotePort(const std::string& text) {
    const auto value = ParseDecimal(Trim(text));
    if (!value) {
        Refuse(text, "a TCP port number from " + std::to_string(kLocalPortMin) + " to " +
                         std::to_string(kLocalPortMax));
    }
    return *value;
}

namespace {

std::string ListedBaudRates() {
    std::vector<std::string> names;
    for (int rate : BaudRates()) {
        names.push_back(std::to_string(rate));
    }
    return JoinAccepted(names);
}

} // namespace

int ParseBaud(const std::string& text) {
    // The wizard's rule: a rate typed instead of picked is sent as typed, so any whole number
    // a serial line can run at is taken; BaudRateWarning tells of one off the usual list.
    const auto value = WholeNumberIn(Trim(text), kBaudRateMin, kBaudRateMax);
    if (!value) {
        Refuse(text, "a whole number from " + std::to_string(kBaudRateMin) + " to " +
                         std::to_string(kBaudRateMax) + " (usual rates: " + ListedBaudRates() +
                         ")");
    }
    return *value;
}

std::string BaudRateWarning(int baud) {
    const auto& rates = BaudRates();
    if (std::find(rates.begin(), rates.end(), baud) != rates.end()) {
        return {};
    }
    return "baud " + std::to_string(baud) + " is not one of the usual rates (" + ListedBaudRates() +
           "); it is sent as given: check that the converter and its serial "
           "device take it";
}

int ParseParity(const std::string& text) {
    return PickFrom(ParityNames(), text);
}

int ParseStopBits(const std::string& text) {
    return PickFrom(StopBitNames(), text);
}

int ParseFlow(const std::string& text) {
    // The main window's item texts are accepted as well as the short names.
    static const std::vector<std::string> itemTexts{"none", "XON/XOFF", "CTS/RTS",
                                                    "XON/XOFF pass characters to host"};
    const int index = IndexOf(itemTexts, text);
    return index >= 0 ? index : PickFrom(FlowNames(), text);
}

std::optional<Ipv4> ParseGateway(const std::string& text) {
    const std::string trimmed = Trim(text);
    if (trimmed.empty() || Lower(trimmed) == "none") {
        return std::nullopt;
    }
    try {
        return ParseIpv4(trimmed);
    } catch (const ValueError&) {
        Refuse(text, std::string(kIpv4Accepted) + ", or none for no gateway");
    }
}

std::string ParsePortName(const std::string& text) {
    const std::string trimmed = Trim(text);
    const char* const accepted = "a port name such as COM1 or a device path such as /dev/ttyUSB0";
    if (trimmed.empty()) {
        Refuse(text, accepted);
    }
    // A NUL would open a shorter path than the one shown; other control characters would
    // reach the console raw in every progress line.
    if (HasControlCharacter(trimmed)) {
        throw ValueError(Quoted(text) + " holds a control character; accepted values: " + accepted);
    }
    if (trimmed.size() > kMaxPortNameLength) {
        throw ValueError(Quoted(text) + " is longer than " + std::to_string(kMaxPortNameLength) +
                         " characters; accepted values: " + accepted);
    }
    return trimmed;
}

std::string QuoteForMessage(const std::string& text) {
    constexpr std::size_t kShown = 40;
    const EscapedText shown = EscapeControls(text, kShown);
    return "\"" + shown.text + "\"" + (shown.cut ? CutNote(text.size()) : "");
}

std::string ModeName(Mode mode) {
    return ModeNames().at(static_cast<int>(mode) - 1);
}

std::string FormatIpv4(const Ipv4& address) {
    return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
           std::to_string(address[2]) + "." + std::to_string(address[3]);
}

std::string ParityName(int index) {
    return ParityNames().at(index);
}
std::string StopBitName(int index) {
    return StopBitNames().at(index);
}
std::string FlowName(int index) {
    return FlowNames().at(index);
}

const std::vector<SetupField>& SetupFields() {
    static const std::vector<SetupField> fields{
        {"port", "port",
         "PC serial port: COM1..COM9, a device path, or auto (during the wake-up wait, poll every "
         "free port and go on with the one the converter answers on)",
         [](SetupProfile& s, const std::string& t) { s.port = ParsePortName(t); }},
        {"mode", "mode", "operating mode: " + JoinAccepted(ModeNames()),
         [](SetupProfile& s, const std::string& t) { s.mode = ParseMode(t); }},
        {"ip", "ip", "the converter's IP address",
         [](SetupProfile& s, const std::string& t) { s.ip = ParseIpv4(t); }},
        {"mask", "mask", "subnet mask",
         [](SetupProfile& s, const std::string& t) { s.mask = ParseMask(t); }},
        {"local-port", "local_port", "the converter's LAN port",
         [](SetupProfile& s, const std::string& t) { s.localPort = ParseTcpPort(t); }},
        {"gateway", "gateway", "gateway address, or none",
         [](SetupProfile& s, const std::string& t) { s.gateway = ParseGateway(t); }},
        {"baud", "baud",
         "baud rate of the converter's serial line: 50 to 921600, typed as given (a rate off "
         "the usual list is warned of)",
         [](SetupProfile& s, const std::string& t) { s.baud = ParseBaud(t); }},
        {"parity", "parity", "parity: " + JoinAccepted(ParityNames()),
         [](SetupProfile& s, const std::string& t) { s.parityIndex = ParseParity(t); }},
        {"stop-bits", "stop_bits", "stop bits: 1 or 2",
         [](SetupProfile& s, const std::string& t) { s.stopBitsIndex = ParseStopBits(t); }},
        {"flow", "flow", "flow control: " + JoinAccepted(FlowNames()),
         [](SetupProfile& s, const std::string& t) { s.flowIndex = ParseFlow(t); }},
        {"peer", "peer", "peer converter's IP address (tunnel modes)",
         [](SetupProfile& s, const std::string& t) { s.peer = ParseIpv4(t); }},
        {"remote-port", "remote_port",
         "the peer's port, to which the tunnel sends (tunnel modes; a master's slaves listen "
         "there)",
         [](SetupProfile& s, const std::string& t) { s.remotePort = ParseRemotePort(t); }},
    };
    return fields;
}

std::string FieldText(const SetupProfile& setup, const SetupField& field) {
    const std::string key = field.key;
    if (key == "port")
        return setup.port;
    if (key == "mode")
        return ModeName(setup.mode);
    if (key == "ip")
        return FormatIpv4(setup.ip);
    if (key == "mask")
        return FormatIpv4(setup.mask);
    if (key == "local_port")
        return std::to_string(setup.localPort);
    if (key == "gateway")
        return setup.gateway ? FormatIpv4(*setup.gateway) : "none";
    if (key == "baud")
        return std::to_string(setup.baud);
    if (key == "parity")
        return ParityName(setup.parityIndex);
    if (key == "stop_bits")
        return StopBitName(setup.stopBitsIndex);
    if (key == "flow")
        return FlowName(setup.flowIndex);
    if (key == "remote_port")
        return std::to_string(setup.remotePort);
    return FormatIpv4(setup.peer);
}

SetupValues ToSetupValues(const SetupProfile& setup) {
    SetupValues values; // the main window's own values for what the wizard does not offer
    values.portName = setup.port;
    values.ip = setup.ip;
    values.mask = setup.mask;
    values.useGateway = setup.gateway.has_value();
    values.gateway = setup.gateway.value_or(Ipv4{192, 168, 1, 200});
    values.baudText = std::to_string(setup.baud);
    values.parityIndex = setup.parityIndex;
    values.stopBitsIndex = setup.stopBitsIndex;
    values.flowIndex = setup.flowIndex;
    values.localPortText = std::to_string(setup.localPort);
    values.remote = setup.peer;
    values.remotePort = setup.remotePort;
    ApplyOperatingMode(values, static_cast<OperatingMode>(setup.mode), setup.master);
    return values;
}

std::string CheckConsistency(const SetupProfile& setup) {
    return CheckSetupValues(setup).refusal;
}

} // namespace comsetup::config
