// A stand-in for the Ethernet-to-serial converter as seen from its RS-232 setup port. Pure
// model: bytes in with their receive time, bytes out, no I/O and no clock of its own, so
// tests can drive it in virtual time and the pty server in real time.
//
// One session, as a correct download sees it:
//   switched off  - the first byte starts the off period (the technician's off-and-on);
//                   everything received while off is lost;
//   boot window   - the next "x" gets the banner ("SOFTWARE VERSION <version> ...");
//   boot prompt   - Enter (LF or CR) opens the setup menu;
//   setup menu    - a choice is a digit and Enter: 0 network, 1 serial line, 6 services,
//                   7 factory defaults, 8 leave without saving, 9 save and restart; each
//                   section asks its questions one after the other, echoing every key;
//   restart       - after "9" the converter is silent for the restart time, then answers
//                   the first "z" with its monitor prompt;
//   monitor       - "G7", "S7" (then configuration records until the end record), "RS"
//                   ends the session as complete.
// A session also ends when nothing arrives for the idle time (abandoned). The model is then
// ready for the next one. Failure modes make it misbehave in one chosen way.
#pragma once

#include "sim/converter_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace comsetup::sim {

enum class Firmware { V01_8, V6_5_0_7 };

enum class FailMode {
    Healthy,
    NoAnswer,        // never answers
    ShortAnswer,     // answers the polling with fewer than 15 bytes, then nothing
    UnknownFirmware, // banner with a version no download knows
    Garbage,         // answers the polling with bytes that are no banner
    NoRestart,       // never answers after "9"
    NoExitWithout,   // menu and closing lines without "Exit without"
    Flood,           // a stream of output from the banner on
    Vanish,          // the line disappears in the middle of the menu
};

// Command-line names: "01.8" / "V6.5.0.7"; "none", "short", "unknown-firmware", "garbage",
// "no-restart", "no-exit-without", "flood", "vanish" ("healthy" for no failure).
std::optional<Firmware> ParseFirmware(std::string_view text);
std::string FirmwareName(Firmware f);
std::optional<FailMode> ParseFailMode(std::string_view text);
std::string FailModeName(FailMode m);

struct ModelOptions {
    Firmware firmware = Firmware::V01_8;
    FailMode fail = FailMode::Healthy;
    std::int64_t offTimeUs = 2'000'000;     // from the first byte of a session
    std::int64_t restartTimeUs = 2'400'000; // from the Enter after "9"
    std::int64_t idleTimeUs = 10'000'000;   // silence that abandons a session
    std::int64_t floodPeriodUs = 100'000;   // one flood chunk per period
};

enum class SessionEnd { Running, Complete, Abandoned, Vanished, Interrupted };
enum class Stage { SwitchedOff, BootWindow, BootPrompt, Menu, Restart, Monitor, Records };

std::string SessionEndName(SessionEnd e);
std::string StageName(Stage s);

struct ReceivedByte {
    std::int64_t tUs = 0;
    std::uint8_t byte = 0;
};

// Everything one session received and made of it.
struct SessionReport {
    int number = 0;
    Firmware firmware = Firmware::V01_8;
    FailMode fail = FailMode::Healthy;
    SessionEnd end = SessionEnd::Running;
    Stage stage = Stage::SwitchedOff; // furthest stage reached
    std::int64_t startUs = 0;
    std::int64_t endUs = 0;
    int xPolls = 0; // "x" bytes received before the banner
    int zPolls = 0; // "z" bytes received after "9" before the monitor answered
    bool defaultsLoaded = false;
    bool saved = false;         // "9" chosen: settings are what was stored
    ConverterSettings settings; // stored settings, or the working copy if never saved
    std::string serviceAnswers; // the yes/no answers of the services section, e.g. "YNNNYYNN"
    bool pageSelected = false;  // "G7"
    bool loadStarted = false;   // "S7"
    std::vector<std::string> records;
    char firstRecord = 0;               // 'A', 'B', '?' (another record) or 0 (none)
    bool loadComplete = false;          // the end record arrived and every record was sound
    bool reset = false;                 // "RS"
    std::vector<std::string> anomalies; // whatever a correct download would not have sent
    std::vector<ReceivedByte> received;
};

class ConverterModel {
public:
    explicit ConverterModel(ModelOptions options);

    // Bytes that arrived at time nowUs (monotonic microseconds, never decreasing).
    void Receive(std::string_view bytes, std::int64_t nowUs);
    // Lets time pass: ends the restart, the idle session, produces flood output.
    void Advance(std::int64_t nowUs);
    // The next time at which Advance has something to do, if any.
    std::optional<std::int64_t> NextEventUs() const;

    // Output produced so far and not yet taken.
    std::string TakeOutput();
    // Sessions that have ended since the last call.
    std::vector<SessionReport> TakeFinishedSessions();
    // Ends the running session (if any) as interrupted and returns it.
    std::optional<SessionReport> Interrupt(std::int64_t nowUs);

    // The line is gone (vanish mode): nothing more comes out or goes in.
    bool Vanished() const { return vanished_; }
    bool InSession() const { return state_ != State::Idle; }
    const SessionReport& Current() const { return report_; }

    // Output totals, for the flood mode's tests and the server's statistics.
    std::uint64_t BytesProduced() const { return produced_; }

private:
    enum class State {
        Idle,
        Off,
        BootWindow,
        BootPrompt,
        MainMenu,
        Question,
        Restarting,
        MonitorWait,
        Monitor,
        Records,
        Dead,
    };
    enum class Section { None, Network, SerialLine, Services };
    enum class Field {
        Done,
        Ip0,
        Ip1,
        Ip2,
        Ip3,
        UseGateway,
        Gw0,
        Gw1,
        Gw2,
        Gw3,
        HostBits,
        ChangePassword,
        NewPassword,
        Service,
        Baud,
        LineCode,
        FlowCode,
        LocalPort,
        ConnectCode,
        LinkCode,
        Broadcast,
        Rem0,
        Rem1,
        Rem2,
        Rem3,
        RemotePort,
        IdleCode,
        FlushCode,
        PackCode,
    };
    enum class Kind { Octet, Number, Text, Hex, YesNo };
    static Kind KindOf(Field f);

    void StartSession(std::int64_t nowUs);
    void EndSession(SessionEnd end, std::int64_t nowUs);
    void ReachStage(Stage s);
    void Anomaly(const std::string& what);
    void Emit(std::string_view text);

    void OnByte(std::uint8_t b, std::int64_t nowUs);
    void OnBootWindow(std::uint8_t b);
    void OnMainMenu(std::uint8_t b, std::int64_t nowUs);
    void OnQuestion(std::uint8_t b);
    void OnMonitorLine(std::uint8_t b, std::int64_t nowUs);

    void ShowMenu();
    void StartSection(Section s);
    void Ask(Field f);
    void StoreAnswer(Field f, const std::string& answer);
    static bool StoreInTable(ConverterSettings& s, Field f, int value, bool yes);
    void NextQuestion();
    Field FollowingField(Field f) const;
    std::string PromptFor(Field f) const;
    void RunCommand(const std::string& line, std::int64_t nowUs);
    void TakeRecord(const std::string& line);

    ModelOptions opt_;
    State state_ = State::Idle;
    SessionReport report_;
    int sessions_ = 0;
    std::vector<SessionReport> finished_;
    std::string out_;
    std::uint64_t produced_ = 0;
    bool vanished_ = false;

    ConverterSettings working_;
    ConverterSettings stored_;
    Field field_ = Field::Done;
    std::string input_;
    int serviceIndex_ = 0;
    bool passwordChange_ = false;
    bool recordsSound_ = true;

    std::int64_t offUntilUs_ = 0;
    std::int64_t restartUntilUs_ = 0;
    std::int64_t lastByteUs_ = 0;
    std::int64_t nextFloodUs_ = 0;
    bool flooding_ = false;
    std::uint64_t floodLine_ = 0;
};

} // namespace comsetup::sim
