// The converter's setup menu scripts as data. After the banner and the opening, a download
// answers the menu with a fixed sequence of keystrokes and pauses that depends only on the
// setup values and the firmware variant; it never reads the converter's answers except to
// copy them into the monitor log (echo) and in the restart wait. BuildScript produces that
// sequence; the driver executes it, the command-line tool prints it, and its planned
// duration gives progress and time-left figures.
#pragma once

#include "core/setup_values.h"
#include "download/banner.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace comsetup {

enum class StepKind {
    SendByte,    // one byte, no pause after it
    TypeText,    // each character followed by a 20 ms pause, the last one included
    Wait,        // a pause of ms milliseconds
    Echo,        // copy what has arrived into the monitor log
    RestartWait, // poll "z" until the converter speaks again (or time-out / cancel)
};

struct ScriptStep {
    StepKind kind = StepKind::Wait;
    std::uint8_t byte = 0; // SendByte
    std::string text;      // TypeText
    int ms = 0;            // Wait

    static ScriptStep Send(std::uint8_t b) { return {StepKind::SendByte, b, {}, 0}; }
    static ScriptStep Type(std::string t) { return {StepKind::TypeText, 0, std::move(t), 0}; }
    static ScriptStep Pause(int ms) { return {StepKind::Wait, 0, {}, ms}; }
    static ScriptStep EchoLog() { return {StepKind::Echo, 0, {}, 0}; }
    static ScriptStep Restart() { return {StepKind::RestartWait, 0, {}, 0}; }

    bool operator==(const ScriptStep&) const = default;
};

inline constexpr std::uint8_t kLF = 0x0A;
inline constexpr std::uint8_t kCR = 0x0D;
inline constexpr int kTypePauseMs = 20; // after every character of a typed text

// The six fixed configuration records (Intel HEX layout). A goes first with CTS/RTS flow
// control, B with every other flow control; 2, 3, 4 and the end record always follow.
inline constexpr std::string_view kRecordA =
    ":20000010000601808000000000800000000000000000000000000000000000000000000049";
inline constexpr std::string_view kRecordB =
    ":2000001004060800000000800080008000000000000000000000000000000000000000003E";
inline constexpr std::string_view kRecord2 =
    ":200020100000000000000000000000000000000000000000000000000000000000000000B0";
inline constexpr std::string_view kRecord3 =
    ":20004010000000000000000000000000000000000000000000000000000000000000000090";
inline constexpr std::string_view kRecord4 =
    ":1E00601000000000000000000000000000000000000000000000000000000000000072";
inline constexpr std::string_view kRecordEnd = ":00000001FF";

// Host bits of the mask (32 minus the prefix length), decided by the right-most non-zero
// byte; bytes to its left are not looked at. 255.255.255.0 -> 8, 0.0.0.0 -> 32.
int HostBits(const AddressBytes& mask);

// Line format code: data bits ("8" -> 0x0C, any other text -> 0x04) + parity (none 0x00,
// odd 0x10, even 0x30) + stop bits (1 -> 0x40, 2 -> 0xC0). 8N1 -> 0x4C.
int LineFormatCode(const std::string& dataBitsText, int parityIndex, int stopBitsIndex);

// Flow code: none 0x00, XON/XOFF 0x01, CTS/RTS 0x02, XON/XOFF pass characters 0x05.
// A position outside the list counts as none.
int FlowCode(int flowIndex);

// Two upper-case hexadecimal digits.
std::string HexByte(int value);

// "7" LF, 200 ms, "0" LF: sent after the banner whatever the firmware.
std::vector<ScriptStep> BuildOpening();

// The menu script of a firmware variant (empty for an unrecognised one).
std::vector<ScriptStep> BuildScript(const SetupValues& values, FirmwareVariant variant);

// The restart wait as planned: no answer to the first "z", an answer to the second, then
// "G7" typed, LF and 3000 ms. Its real length depends on the converter (at most about 15 s
// plus that tail).
inline constexpr int kRestartWaitPlannedMs = 500 + 2 * kTypePauseMs + 3000;

// Planned duration of one step / of a whole sequence, in milliseconds.
std::int64_t StepDurationMs(const ScriptStep& step, int restartWaitMs = kRestartWaitPlannedMs);
std::int64_t PlannedDurationMs(const std::vector<ScriptStep>& steps,
                               int restartWaitMs = kRestartWaitPlannedMs);

// Every byte the steps send, in order (the restart wait's own bytes are not included).
std::string SentBytes(const std::vector<ScriptStep>& steps);

} // namespace comsetup
