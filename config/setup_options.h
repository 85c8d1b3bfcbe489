// The values of one converter setup as a profile, shared by both front ends: the same set the
// wizard collects (operating mode, LAN, gateway, serial line, peer) plus the PC's port name,
// with the wizard's defaults. Every value is parsed from text by one function per kind of
// value, so the command line, the JSON files and the wizard's profiles give the same checks
// and the same messages.
#pragma once

#include "core/setup_values.h"

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace comsetup::config {

// A value that does not fit its option; what() names the value and the accepted values.
// The caller adds the option's name in front.
class ValueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The operating modes of the wizard's mode page, numbered as the wizard numbers them.
enum class Mode : int { RemoteCom = 1, PointToPoint = 2, PointToMultipoint = 3 };

using Ipv4 = std::array<int, 4>;

struct SetupProfile {
    std::string port = "COM1";
    Mode mode = Mode::RemoteCom;
    bool master = false; // "MASTER SIDE": only with Mode::PointToMultipoint
    Ipv4 ip{192, 168, 1, 200};
    Ipv4 mask{255, 255, 255, 0};
    int localPort = 10001;
    std::optional<Ipv4> gateway; // empty: no gateway is set
    int baud = 9600;
    int parityIndex = 0;   // none, odd, even
    int stopBitsIndex = 0; // 1, 2
    int flowIndex = 0;     // none, XON/XOFF, CTS/RTS, XON/XOFF pass characters to host
    Ipv4 peer{192, 168, 1, 201};
    int remotePort = 10001; // the peer's port, to which the tunnel sends

    bool operator==(const SetupProfile&) const = default;
};

// Accepted spellings, in the order the messages list them.
const std::vector<std::string>& ModeNames();    // remote-com, point-to-point, ...
const std::vector<std::string>& ParityNames();  // none, odd, even
const std::vector<std::string>& StopBitNames(); // 1, 2
const std::vector<std::string>& FlowNames();    // none, xon-xoff, cts-rts, xon-xoff-pass
const std::vector<int>& BaudRates();            // the wizard's list, 300 .. 230400

// Parsers: each returns the value or throws ValueError.
Mode ParseMode(const std::string& text);
Ipv4 ParseIpv4(const std::string& text);
Ipv4 ParseMask(const std::string& text); // also applies the subnet mask rules
int ParseTcpPort(const std::string& text);
// A whole number; its range is the value rule's (CheckSetupValues), so that every front end
// refuses a remote port out of range with the same words.
int ParseRemotePort(const std::string& text);
int ParseBaud(const std::string& text); // whole number, kBaudRateMin..kBaudRateMax
int ParseParity(const std::string& text);
int ParseStopBits(const std::string& text);
int ParseFlow(const std::string& text);
std::optional<Ipv4> ParseGateway(const std::string& text); // "none" or "" -> no gateway
std::string ParsePortName(const std::string& text);        // at most kMaxPortNameLength, no control
                                                           // characters

// A warning for a baud rate that is accepted but not one of BaudRates(), or an empty text.
std::string BaudRateWarning(int baud);

// Text forms, the inverse of the parsers (used when saving a configuration).
std::string ModeName(Mode mode);
std::string FormatIpv4(const Ipv4& address);
std::string ParityName(int index);
std::string StopBitName(int index);
std::string FlowName(int index);

// Checks that concern more than one value (config/value_rules.h, CheckSetupValues); returns
// the message of the first problem, or an empty text when the setup may be sent.
std::string CheckConsistency(const SetupProfile& setup);

// One value of the setup as both the command line (--option) and JSON files ("key") name it.
struct SetupField {
    const char* option; // without the leading dashes
    const char* key;
    std::string help;
    void (*apply)(SetupProfile&, const std::string& text); // throws ValueError
};

// Every value but the master side (a flag on the command line, a boolean in JSON).
const std::vector<SetupField>& SetupFields();

// The text form of a field's value, as the matching parser accepts it.
std::string FieldText(const SetupProfile& setup, const SetupField& field);

// The values the download reads, mapped as the wizard's "DownLoad" maps them: fields copied,
// tunnel enabled for the tunnel modes, master side into the broadcast answer with the peer
// address replaced by the directed broadcast address of the converter's own network. The main
// window's own values stand for what the wizard does not offer (data bits "8"); the remote
// port is the profile's (10001 unless a file, an option or a plan says otherwise).
SetupValues ToSetupValues(const SetupProfile& setup);

// Joins accepted values for a message: "none, odd, even".
std::string JoinAccepted(const std::vector<std::string>& names);

// A text as messages show it: in quotes, control characters escaped (\n, \x00), and cut to
// a short prefix with its full length when long, so that a hostile value can neither flood
// the console nor write to it raw.
std::string QuoteForMessage(const std::string& text);

inline constexpr std::size_t kMaxPortNameLength = 255;

} // namespace comsetup::config
