// The setup download: prepares and opens the port, wakes the converter into its setup menu
// by polling "x" while the technician switches it off and on, reads its banner, recognises
// the firmware, runs the firmware's menu script and gives the verdict from the monitor log.
// Every byte goes out through SendChar / SendString, every pause through Delay (the pacer),
// every answer comes in through the banner read, EchoReceived and the restart wait.
//
// Threads: one SetupDownload runs on the thread that owns its TCustomComm; the cancel flag
// may be set from any thread (or from work the pacer runs) and is read at each wait's loop
// test. Nothing is global: several downloads may run at once on their own ports and threads.
#pragma once

#include "core/setup_values.h"
#include "download/banner.h"
#include "download/pacer.h"
#include "download/port_search.h"
#include "download/script.h"
#include "download/trace.h"
#include "download/views.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TCustomComm;

namespace comsetup {

// Each value is the exit status of its outcome in the outcome table (core/outcomes.h).
enum class DownloadOutcome {
    Complete = 0,        // "Setup Complete": the converter answered the banner poll, confirmed
                         // the settings after "9" and answered the restart poll
    ErrorOnSetup = 1,    // "ERROR ON SETUP", with a cause (SetupDownload::Cause)
    PortError = 3,       // the port could not be opened
    NoAnswer = 4,        // no banner within the limit
    Cancelled = 5,       // cancelled before the banner, or after it before the converter had
                         // answered the restart poll ("Setup cancel from user")
    FirmwareUnknown = 6, // banner read, version not recognised
};

const char* OutcomeName(DownloadOutcome outcome); // "complete", "error-on-setup", ...
// The progress dialog's text for the outcome, without its trailing blank ("Setup Complete").
std::string_view VerdictText(DownloadOutcome outcome);

// Timing and sizes of the procedure.
inline constexpr int kReopenPauseMs = 300;   // between closing and opening the port
inline constexpr int kPollIntervalMs = 500;  // "x" / "z" polling
inline constexpr int kAnswerLimitMs = 15000; // each wait gives up after this
inline constexpr int kBannerMinBytes = 15;   // bytes waiting that count as a banner
inline constexpr int kBannerReadMax = 2000;  // one banner read
inline constexpr int kBannerPauseMs = 7000;  // after the banner, before the opening
inline constexpr int kRestartAnswerPauseMs = 3000;
inline constexpr int kEchoBufferSize = 5001; // most bytes one EchoReceived reads
inline constexpr int kCancelLookMs = 50;     // a Cancel before the opening is seen this soon

// The texts of the progress dialog and the port message.
inline constexpr std::string_view kTextCheckConnection =
    "Check the connection with device in progress\n(Turn off and then turn on the device)";
inline constexpr std::string_view kTextSetupInProgress = "Setup in progress...";
inline constexpr std::string_view kTextPortFailed = "Impossible to complete the Setup ";
inline constexpr std::string_view kTextNoAnswer = "IMPOSSIBLE TO COMPLETE THE SETUP ";
inline constexpr std::string_view kTextCancelled = "Setup cancel from user";
inline constexpr std::string_view kTextFirmwareUnknown = "Hardware version not found";
inline constexpr std::string_view kTextComplete = "Setup Complete";
inline constexpr std::string_view kTextErrorOnSetup = "ERROR ON SETUP";
inline constexpr std::string_view kTextOpenErrorPrefix = "Error opening serial port :";
inline constexpr std::string_view kVerdictKey = "Exit without";

// Shown below the progress text while the script runs on to its restart wait after a Cancel:
// a menu left half answered would leave the converter in its setup menu.
inline constexpr std::string_view kTextCancelPending =
    "cancel pending: finishing the menu answer in progress...";
// Shown after a Cancel once the converter has answered the restart poll: it holds the settings
// and gets its records.
inline constexpr std::string_view kTextCancelTooLate =
    "too late to cancel: the converter has restarted; finishing its setup...";

// Causes of an "ERROR ON SETUP", added as the monitor log's last line.
inline constexpr std::string_view kCauseStoppedAnswering = "the converter stopped answering";
inline constexpr std::string_view kCauseNotConfirmed =
    "the converter did not confirm the settings (no \"Exit without\" after \"9\")";
inline constexpr std::string_view kCauseConfirmationNotLast =
    "the converter's confirmation was followed by more lines, so it is not the line before the "
    "last, where the verdict looks";
inline constexpr std::string_view kCauseNoRestartAnswer = "no answer after the restart";
inline constexpr std::string_view kCauseLineHeld =
    "the line does not accept data (flow control held, or the device is gone)";

// Causes of a "Setup cancel from user": whether the converter was sent any setting.
inline constexpr std::string_view kCauseCancelledWaiting =
    "cancelled before the converter answered: no setting was sent";
inline constexpr std::string_view kCauseCancelledBeforeSettings =
    "cancelled before any setting was sent";
inline constexpr std::string_view kCauseCancelledTyped =
    "cancelled after the settings were typed: the converter may hold some or all of them; "
    "download again to be sure";

// The cause shown under "Error opening serial port :<port>", in the wizard and on the
// console alike: the OS code in plain words and, when the name maps to a device, that device
// and, for a missing one, the variable that can name another ("no such device (COM1 is
// /dev/ttyS0; COMSETUP_COM1 can name another device)"); an empty or blank port text says so.
std::string PortOpenCause(const std::string& portName, int errorCode);

struct DownloadContext {
    TCustomComm& comm;
    ProgressView& progress;
    MonitorLog& monitor;
    MessageSink& messages;
    Pacer& pacer;
    std::atomic<bool>& cancelSetup;
    DownloadObserver* observer = nullptr;
    DownloadTrace* trace = nullptr; // every byte, pause and read, when set
    // For the port name "Auto": the ports to search (empty: DefaultSearchCandidates()) and
    // how their components are made. `comm` itself then stays closed.
    std::vector<std::string> searchPorts{};
    PortFactory makePort = MakeDevicePort;
};

class SetupDownload {
public:
    explicit SetupDownload(DownloadContext context);
    ~SetupDownload();
    SetupDownload(const SetupDownload&) = delete;
    SetupDownload& operator=(const SetupDownload&) = delete;

    // Runs one whole download. A Cancel before the opening (during the wake-up wait or the
    // pause after the banner) ends it within kCancelLookMs with nothing typed. A Cancel once
    // the opening has gone out lets the menu script run on to its restart wait (kTextCancelPending
    // below the text meanwhile) and stops there: the closing records go only to a converter that
    // answered the restart poll. A byte the line does not take within the write time limit ends it
    // at once with ErrorOnSetup (port closed, cause kCauseLineHeld). A serial port error after the
    // port was opened (the adapter pulled out, say) closes the port, shows "ERROR ON SETUP" with
    // OK, puts its cause in the log, and is rethrown for the caller's general error report; so is
    // any other exception raised meanwhile.
    DownloadOutcome Run(const SetupValues& values);

    // Why the last run did not complete, in plain words ("" when it completed): the line
    // below the verdict, also the monitor log's last line (verdict_lines.h); for a port that
    // could not be opened, also the cause under the port message.
    const std::string& Cause() const { return run_.cause; }
    // What the last run wrote, when it completed ("" otherwise): the line below "Setup
    // Complete" ("192.168.1.200/24, 9600 8N1, port 10001, saved by firmware 01.8").
    const std::string& Written() const { return run_.written; }

    FirmwareVariant Variant() const { return run_.variant; }
    // Whether any byte of the menu script went out (an answer, not a wake-up poll).
    bool SettingsSent() const { return run_.settingsSent; }
    // The port the last run used: the name given, or the one "Auto" found ("" when the
    // search found none).
    const std::string& PortName() const { return run_.progress.port; }

    // The primitives every byte and pause goes through.
    void Delay(int ms);
    // A pause that a Cancel ends within kCancelLookMs; only where nothing has been typed.
    void CancellablePause(int ms);
    void SendChar(std::uint8_t byte);
    void SendString(std::string_view text); // each character, then 20 ms
    void EchoReceived();                    // arrived bytes -> monitor lines (at most 5001)

private:
    // Where the current wait for the converter (the wake-up wait, then the restart wait)
    // stands. A wait that passed its limit runs its last pass, so a TimedOut wait can still
    // end Answered.
    enum class WaitState { Waiting, Answered, TimedOut };
    // Whether the port (for "Auto", any searched port) could be opened.
    enum class PortState { Usable, OpenFailed };
    // How the restart wait ended.
    enum class RestartEnd { NotRun, Answered, TimedOut, Cancelled };
    // What one EchoReceived brought: the monitor's line count before it, and bytes read.
    struct Echo {
        int firstLine = 0;
        int bytes = 0;
    };
    // Everything one run learns; each run starts from a fresh one, so nothing of the last
    // run's answers, cause or progress carries over.
    struct RunState {
        WaitState wait = WaitState::Waiting;
        PortState port = PortState::Usable;
        FirmwareVariant variant = FirmwareVariant::Unknown;
        RestartEnd restart = RestartEnd::NotRun;
        bool cancelNoted = false;
        bool cancelledBeforeOpening = false;
        bool settingsSent = false;
        Echo lastEcho;
        Echo menuEcho; // the echo right after "9", which must hold the converter's confirmation
        std::string cause;
        std::string written;
        std::vector<std::string> searched; // the ports "Auto" polled
        int bannerBytes = 0;
        std::vector<ScriptStep> script; // built once, when the banner names the firmware
        DownloadProgress progress;
    };

    int ReadInto(std::uint8_t* buffer, int count);
    void PreparePort(const std::string& portName);
    void OpenSearch();
    void WakeUpWait();
    bool SearchPass(); // one pass of the wake-up wait over every searched port
    void ReadBanner();
    DownloadOutcome Dispatch();
    std::vector<std::string> PortsPolled() const; // for the cause of no answer
    // What the converter answered to "9", quoted for a cause ("; the converter said ..."), or
    // "" when it said nothing.
    std::string ConverterSaid() const;
    DownloadOutcome RunScript();
    void RunSteps(const std::vector<ScriptStep>& steps);
    void RestartWait();
    DownloadOutcome Verdict();
    bool KeepWaiting() const;
    bool LimitPassed(std::chrono::nanoseconds start);
    void Finish(std::string_view text); // text and cause_ below it, OK instead of Cancel
    // Ends with text and cause below it (also the log's last line).
    DownloadOutcome EndWith(DownloadOutcome outcome, std::string_view text, std::string_view cause);
    DownloadOutcome FailWith(std::string_view cause); // "ERROR ON SETUP", cause in the log
    void NoteCancel(); // once a Cancel is seen after the banner: say it is pending
    void Report(DownloadPhase phase);
    void CloseQuietly();

    DownloadContext ctx_;
    TCustomComm* comm_;                  // ctx_.comm, or the port a search found
    std::unique_ptr<TCustomComm> found_; // the port a search found, owned here
    std::unique_ptr<PortSearch> search_; // while "Auto" searches
    RunState run_;
    const SetupValues* values_ = nullptr; // during Run
    std::array<std::uint8_t, kBannerReadMax + 1> banner_{};
    std::array<std::uint8_t, kEchoBufferSize> echo_{};
};

// One download with a fresh SetupDownload.
DownloadOutcome RunDownload(DownloadContext& context, const SetupValues& values);

} // namespace comsetup
