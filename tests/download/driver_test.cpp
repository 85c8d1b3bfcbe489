// The whole download procedure in virtual time: outcomes, dialog texts and buttons, the
// bytes sent with their pauses, the waits, cancel, verdict and serial failures.
#include "tests/support/download_harness.h"

#include "download/progress_estimate.h"
#include "download/saved_log.h"
#include "download/setup_rules.h"
#include "serial/platform.h"
#include "serial/port_names.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <numeric>

namespace comsetup::test {
namespace {

using namespace std::chrono_literals;

// What the harness's converter answers to "9", as a cause quotes it.
const std::string kSaidClosing = "; the converter said \"9 Exit without save / 9 Save and exit\"";

// --- complete downloads -----------------------------------------------------------------

TEST(DownloadDriver, WorkedExampleGoesOutByteForByteAndCompletes) {
    DownloadHarness h;
    h.HealthyConverter(FirmwareVariant::V01_8);
    SetupValues values;
    values.portName = "COM3";
    EXPECT_EQ(h.Run(values), DownloadOutcome::Complete);

    const std::string records = std::string(kRecordB) + "\n" + std::string(kRecord2) + "\n" +
                                std::string(kRecord3) + "\n" + std::string(kRecord4) + "\n" +
                                std::string(kRecordEnd) + "\n";
    EXPECT_EQ(h.Sent(),
              "xxxx\n\r7\n0\n192\n168\n001\n200\nN8\nN6\nYNNNYYNN1\n9600\n4C\n00\n10001\n" +
                  std::string(12, '\n') + "9\nzzzG7\nS7\n" + records + "RS\n");

    // Nothing of a previous download's verdict beside "Cancel".
    EXPECT_EQ(h.progress.Texts(),
              (std::vector<std::string>{"", std::string(kTextCheckConnection),
                                        std::string(kTextSetupInProgress), "Setup Complete"}));
    EXPECT_FALSE(h.progress.cancelVisible);
    EXPECT_TRUE(h.progress.okVisible);
    EXPECT_FALSE(h.line->IsOpen());
    EXPECT_TRUE(h.messages.shown.empty());
    EXPECT_EQ(h.download->Variant(), FirmwareVariant::V01_8);
    EXPECT_EQ(h.comm.DeviceName(), "COM3");
    EXPECT_EQ(h.comm.BaudRate(), br9600);
    EXPECT_EQ(h.comm.Parity(), paNone);
    EXPECT_EQ(h.comm.Stopbits(), sb10);
}

TEST(DownloadDriver, PausesAsTheFarEndSeesThem) {
    DownloadHarness h;
    h.HealthyConverter(FirmwareVariant::V01_8);
    h.Run(SetupValues{});
    // x every 500 ms; the banner answer; 7 s; the opening; the first address group.
    const std::string start = "x[500]x[500]x[500]x[500]<LF><CR>[7000]7<LF>[200]0<LF>"
                              "1[100]9[100]2<LF>[200]1[3]6[3]8<LF>[203]0[3]0[3]1<LF>[200]"
                              "2[3]0[3]0<LF>[150]N[150]8<LF>[150]N[800]6<LF>[99]Y[99]N";
    EXPECT_EQ(h.TimelineFrom(0).substr(0, start.size()), start);
    // The 300 ms before opening is the first pause; nothing is sent before it.
    ASSERT_FALSE(h.pacer.Delays().empty());
    EXPECT_EQ(h.pacer.Delays().front(), 300);
    EXPECT_EQ(h.converter.Received().front().ms, 300);
    // Each typed character is followed by 20 ms: "9600" then LF at once.
    EXPECT_NE(h.TimelineFrom(0).find("[82]9[20]6[20]0[20]0[20]<LF>4[20]C[20]<LF>0[20]0[20]<LF>"),
              std::string::npos);
    // After "9": 100 ms, echo, 2 x 1000 ms, then "z" polling every 500 ms, G7, 3000 ms, S7.
    EXPECT_NE(h.TimelineFrom(0).find("9<LF>[2100]z[500]z[500]z[500]G[20]7[20]<LF>[3000]S[20]7[20]"
                                     "<LF>[1000]:"),
              std::string::npos);
    // The whole download lasts exactly the planned time once the banner is in.
    const std::int64_t bannerAt = 300 + 4 * 500;
    const auto script = BuildScript(SetupValues{}, FirmwareVariant::V01_8);
    const int restartActual = 3 * 500 + 2 * 20 + 3000;
    EXPECT_EQ(h.pacer.NowMs(),
              bannerAt + kBannerPauseMs + 200 + PlannedDurationMs(script, restartActual));
}

TEST(DownloadDriver, BothFirmwaresInTheThreeModes) {
    struct Mode {
        OperatingMode mode;
        bool master;
    };
    for (FirmwareVariant variant : {FirmwareVariant::V01_8, FirmwareVariant::V6_5_0_7}) {
        for (Mode m : {Mode{OperatingMode::RemoteComPort, false},
                       Mode{OperatingMode::TunnelPointToPoint, false},
                       Mode{OperatingMode::TunnelPointToMultipoint, false},
                       Mode{OperatingMode::TunnelPointToMultipoint, true}}) {
            SetupValues values;
            values.ip = {10, 1, 2, 3};
            values.mask = {255, 255, 0, 0};
            values.remote = {10, 1, 9, 9};
            values.useGateway = m.master;
            values.gateway = {10, 1, 0, 1};
            values.flowIndex = m.master ? 2 : 3;
            ApplyOperatingMode(values, m.mode, m.master);

            DownloadHarness h;
            h.HealthyConverter(variant, 2, 1);
            EXPECT_EQ(h.Run(values), DownloadOutcome::Complete);
            EXPECT_EQ(h.SentAfterBanner(), ExpectedAfterBanner(values, variant, 1, true))
                << static_cast<int>(variant) << " mode " << static_cast<int>(m.mode) << m.master;
            const bool remoteSent = h.Sent().find("010\n001\n009\n009\n") != std::string::npos;
            const bool broadcastSent = h.Sent().find("010\n001\n255\n255\n") != std::string::npos;
            EXPECT_EQ(remoteSent, values.tunnel && !m.master);
            // A master's peer is the broadcast address; only "01.8" sends it (the other
            // firmware answers "Y" instead).
            EXPECT_EQ(broadcastSent, m.master && variant == FirmwareVariant::V01_8);
        }
    }
}

TEST(DownloadDriver, SecondDownloadAfterASuccessfulOneEndsTheSameWay) {
    DownloadHarness h;
    h.HealthyConverter(FirmwareVariant::V6_5_0_7);
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::Complete);
    const std::string first = h.Sent();
    const int linesAfterFirst = h.monitor.Count();

    // A fresh converter session on the same line.
    h.converter = ScriptedConverter();
    h.converter.Attach(h.line);
    h.HealthyConverter(FirmwareVariant::V6_5_0_7);
    h.cancel = true; // left over: the start clears it
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::Complete);
    EXPECT_EQ(h.Sent(), first);
    EXPECT_GT(h.monitor.Count(), linesAfterFirst); // appended after the first run's lines
    EXPECT_EQ(h.line->OpenCount(), 2);
    EXPECT_FALSE(h.line->IsOpen());
}

// --- the wake-up wait ---------------------------------------------------------------------

// The port message keeps its line naming the port and says below it why the port could not
// be opened.
TEST(DownloadDriver, PortThatCannotBeOpenedSendsNothingAndSaysWhy) {
    struct Case {
        std::string port;
        int code;
        std::string cause;
    };
    // Each platform's own codes: errno values, or Windows error codes (on Windows a denied
    // open is a port in use; there is no group to join).
#ifdef _WIN32
    const int noDevice = 2, inUse = 5; // ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED
#else
    const int noDevice = ENOENT, inUse = EBUSY;
#endif
#ifdef _WIN32
    const std::string com9Missing = "no such device";
#else
    const std::string com9Missing = "no such device (COM9 is " + ResolvePortName("COM9") +
                                    "; COMSETUP_COM9 can name another device)";
#endif
    std::vector<Case> cases = {
        {"COM9", noDevice, com9Missing},
        {"/dev/ttyUSB3", inUse, "in use by another program"},
        {"/tmp/file", kNotSerialDevice, "not a serial device"},
        {"", noDevice, "no port named: the port text is empty (type or pick one, such as COM1)"},
        {"  ", noDevice, "no port named: the port text is empty (type or pick one, such as COM1)"}};
#ifndef _WIN32
    cases.push_back(
        {"/dev/ttyUSB3", EACCES, "permission denied: add yourself to the group dialout"});
    // The variable is named only where the device is missing, however the name was spelt.
    cases.push_back(
        {"com09", inUse, "in use by another program (com09 is " + ResolvePortName("COM9") + ")"});
    cases.push_back({"com09", ELOOP,
                     "a loop of symbolic links, no device at its end (com09 is " +
                         ResolvePortName("COM9") + ")"});
#endif
    for (const Case& c : cases) {
        DownloadHarness h;
        h.line->FailOpen(c.code);
        SetupValues values;
        values.portName = c.port;
        EXPECT_EQ(h.Run(values), DownloadOutcome::PortError) << c.port;
        EXPECT_EQ(h.messages.shown, std::vector<std::string>{
                                        "Error opening serial port :" + c.port + "\n" + c.cause});
        EXPECT_EQ(h.download->Cause(), c.cause);
        EXPECT_EQ(h.progress.Texts(),
                  (std::vector<std::string>{"", std::string(kTextCheckConnection),
                                            "Impossible to complete the Setup "}));
        EXPECT_EQ(h.progress.detail, c.cause);
        EXPECT_EQ(h.monitor.Lines(), std::vector<std::string>{c.cause});
        EXPECT_EQ(h.Sent(), "");
        EXPECT_EQ(h.pacer.Delays(), std::vector<int>{300});
        EXPECT_TRUE(h.progress.okVisible);
        EXPECT_FALSE(h.progress.cancelVisible);
    }
}

TEST(DownloadDriver, NoAnswerGivesUpAfterFifteenSecondsWithAboutThirtyPolls) {
    DownloadHarness h;
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::NoAnswer);
    const int polls = h.converter.Count('x');
    EXPECT_GE(polls, 30);
    EXPECT_LE(polls, 32);
    EXPECT_EQ(h.Sent(), std::string(static_cast<std::size_t>(polls), 'x'));
    EXPECT_EQ(h.progress.label, "IMPOSSIBLE TO COMPLETE THE SETUP ");
    EXPECT_FALSE(h.line->IsOpen());
    EXPECT_TRUE(h.progress.okVisible);
}

TEST(DownloadDriver, FourteenWaitingBytesKeepPollingTheFifteenthEndsTheWait) {
    DownloadHarness h;
    h.converter.On([](const ScriptedConverter& c) { return c.Count('x') >= 2; },
                   [](ScriptedConverter& c) { c.Say("SOFTWARE VERSI"); }); // 14 bytes
    h.converter.On([](const ScriptedConverter& c) { return c.Count('x') >= 6; },
                   [](ScriptedConverter& c) { c.Say("ON 01.8 ready\r\n"); });
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::ErrorOnSetup); // no closing lines
    EXPECT_EQ(h.converter.Count('x'), 6);
    EXPECT_EQ(h.download->Variant(), FirmwareVariant::V01_8);
}

TEST(DownloadDriver, BannerInThePassThatPassesTheLimitStillCounts) {
    DownloadHarness h;
    // Polls 0, 500, ..., 15000 ms after the wait began (300 ms in); the pass at 15500 is
    // past the limit, and the banner arrives just before it.
    h.converter.On([](const ScriptedConverter& c) { return c.NowMs() >= 300 + 15500; },
                   [](ScriptedConverter& c) { c.Say(BannerFor(FirmwareVariant::V6_5_0_7)); });
    h.converter.On([](const ScriptedConverter& c) { return c.EndsWith("\n9\n"); },
                   [](ScriptedConverter& c) { c.Say(kClosingLines); });
    // The restart wait got no answer: "z" polls for its own 15 s, then the rest follows.
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::ErrorOnSetup);
    EXPECT_EQ(h.converter.Count('x'), 31);
    EXPECT_EQ(h.download->Variant(), FirmwareVariant::V6_5_0_7);
    EXPECT_EQ(h.download->Cause(), std::string(kCauseNoRestartAnswer) + kSaidClosing);
}

TEST(DownloadDriver, CancelDuringTheWakeUpWaitEndsAtTheEndOfThePass) {
    DownloadHarness h;
    // Polls at 300 and 800; Cancel pressed during the second pause (at 1200), seen within
    // kCancelLookMs.
    h.converter.On([](const ScriptedConverter& c) { return c.NowMs() >= 1200; },
                   [&h](ScriptedConverter&) { h.cancel = true; });
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::Cancelled);
    EXPECT_EQ(h.Sent(), "xx");
    EXPECT_EQ(h.progress.label, "Setup cancel from user");
    EXPECT_EQ(h.progress.detail, kCauseCancelledWaiting);
    EXPECT_EQ(h.download->Cause(), kCauseCancelledWaiting);
    EXPECT_EQ(h.monitor.Lines(), std::vector<std::string>{std::string(kCauseCancelledWaiting)});
    EXPECT_LE(h.pacer.NowMs(), 1200 + kCancelLookMs);
    EXPECT_FALSE(h.line->IsOpen());
}

TEST(DownloadDriver, AnAnswerUnderFifteenBytesIsNoBanner) {
    DownloadHarness h;
    h.converter.On([](const ScriptedConverter& c) { return c.Count('x') >= 1; },
                   [](ScriptedConverter& c) { c.Say("01.8 ready\r\n"); }); // 12 bytes
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::NoAnswer);
    EXPECT_EQ(h.converter.Count('x'), 32);
    EXPECT_EQ(h.Sent().find('\n'), std::string::npos);
}

// --- after the banner ---------------------------------------------------------------------

// The cause below "Hardware version not found" says what the banner held instead.
TEST(DownloadDriver, UnknownFirmwareStillGetsTheOpening) {
    struct Case {
        std::string banner;
        std::string cause;
    };
    for (const Case& c :
         {Case{BannerFor(FirmwareVariant::Unknown),
               "firmware 03.2 is not one this program knows (01.8, V6.5.0.7)"},
          Case{"\r\nSOFTWARE VERSION 01.8\r\n",
               "the banner names no firmware version after \"SOFTWARE VERSION\""},
          Case{"garbage garbage garbage garbage\r\n",
               "the converter answered 33 bytes, none naming its firmware (no \"SOFTWARE "
               "VERSION\")"},
          Case{"Software version \x01\xfe" + std::string(30, '7') + " ready\r\n",
               // Shown readable and short, whatever bytes it holds.
               "firmware ?" + std::string(19, '7') +
                   "... is not one this program knows (01.8, V6.5.0.7)"}}) {
        const std::string& banner = c.banner;
        DownloadHarness h;
        h.converter.On([](const ScriptedConverter& cv) { return cv.Count('x') >= 1; },
                       [banner](ScriptedConverter& cv) { cv.Say(banner); });
        EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::FirmwareUnknown) << banner;
        EXPECT_EQ(h.Sent(), "x\n\r7\n0\n");
        EXPECT_EQ(h.progress.Texts(),
                  (std::vector<std::string>{"", std::string(kTextCheckConnection),
                                            std::string(kTextSetupInProgress),
                                            "Hardware version not found"}));
        EXPECT_EQ(h.progress.detail, c.cause);
        EXPECT_EQ(h.monitor.Lines().back(), c.cause);
        EXPECT_TRUE(h.progress.okVisible);
        EXPECT_FALSE(h.line->IsOpen());
    }
}

TEST(DownloadDriver, CancelDuringTheSevenSecondPauseTypesNothing) {
    DownloadHarness h;
    h.HealthyConverter(FirmwareVariant::V01_8, 1);
    std::int64_t cancelledAt = 0;
    h.converter.On([](const ScriptedConverter& c) { return c.EndsWith("\n\r"); },
                   [&cancelledAt](ScriptedConverter& c) {
                       cancelledAt = c.NowMs() + 3000; // 3 s into the pause
                   });
    h.converter.On(
        [&cancelledAt](const ScriptedConverter& c) {
            return cancelledAt > 0 && c.NowMs() >= cancelledAt;
        },
        [&h](ScriptedConverter&) { h.cancel = true; });
    // The user's Cancel came before the first setting: the opening is not sent, and the
    // download ends within kCancelLookMs.
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::Cancelled);
    EXPECT_EQ(h.SentAfterBanner(), "\n\r");
    EXPECT_FALSE(h.download->SettingsSent());
    EXPECT_LE(h.pacer.NowMs(), cancelledAt + kCancelLookMs);
    EXPECT_EQ(h.progress.label, "Setup cancel from user");
    EXPECT_EQ(h.progress.Details(),
              std::vector<std::string>{std::string(kCauseCancelledBeforeSettings)});
    EXPECT_EQ(h.monitor.Lines().back(), kCauseCancelledBeforeSettings);
    EXPECT_TRUE(h.progress.okVisible);
    EXPECT_FALSE(h.line->IsOpen());
}

TEST(DownloadDriver, RestartWaitTimeOutStillSendsTheRecords) {
    DownloadHarness h;
    h.HealthyConverter(FirmwareVariant::V6_5_0_7, 1, 1000);
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::ErrorOnSetup);
    EXPECT_EQ(h.progress.label, "ERROR ON SETUP");
    EXPECT_EQ(h.monitor.Lines().back(), std::string(kCauseNoRestartAnswer) + kSaidClosing);
    const int zs = h.converter.Count('z');
    EXPECT_GE(zs, 30);
    EXPECT_LE(zs, 32);
    EXPECT_EQ(h.SentAfterBanner(),
              ExpectedAfterBanner(SetupValues{}, FirmwareVariant::V6_5_0_7, zs, false));
}

TEST(DownloadDriver, RestartWaitDropsWhatArrivedBeforeIt) {
    DownloadHarness h;
    h.HealthyConverter(FirmwareVariant::V01_8, 1, 2);
    // Output after the last echo (during the 2 s after "9") is purged, so it neither ends
    // the restart wait at once nor reaches the log.
    h.converter.On(
        [](const ScriptedConverter& c) {
            return c.EndsWith("\n9\n") && c.NowMs() >= c.Received().back().ms + 1100;
        },
        [](ScriptedConverter& c) { c.Say("late line\r\n"); });
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::Complete);
    EXPECT_EQ(h.converter.Count('z'), 2);
    for (const auto& line : h.monitor.Lines()) {
        EXPECT_EQ(line.find("late line"), std::string::npos);
    }
    EXPECT_GE(h.line->PurgeCount(), 1);
}

TEST(DownloadDriver, VerdictLooksOnlyAtTheSecondToLastLine) {
    struct Case {
        std::string closing;
        DownloadOutcome outcome;
    };
    for (const Case& c :
         {Case{"Exit without saving\r\nbye\r\n", DownloadOutcome::Complete},
          Case{"x Exit without y\r\n\r\n", DownloadOutcome::Complete},
          Case{"one line: Exit without\r\n", DownloadOutcome::ErrorOnSetup},
          Case{"Exit without\r\nlast\r\nreally last\r\n", DownloadOutcome::ErrorOnSetup},
          Case{"exit without saving\r\nbye\r\n", DownloadOutcome::ErrorOnSetup},
          Case{"Exit without\r\nno line end", DownloadOutcome::ErrorOnSetup}}) {
        DownloadHarness h;
        h.converter.On([](const ScriptedConverter& cv) { return cv.Count('x') >= 1; },
                       [](ScriptedConverter& cv) { cv.Say(BannerFor(FirmwareVariant::V01_8)); });
        h.converter.On([](const ScriptedConverter& cv) { return cv.EndsWith("\n9\n"); },
                       [c](ScriptedConverter& cv) { cv.Say(c.closing); });
        h.converter.On([](const ScriptedConverter& cv) { return cv.Count('z') >= 1; },
                       [](ScriptedConverter& cv) { cv.Say("monitor> "); });
        EXPECT_EQ(h.Run(SetupValues{}), c.outcome) << c.closing;
        EXPECT_EQ(h.progress.label,
                  c.outcome == DownloadOutcome::Complete ? "Setup Complete" : "ERROR ON SETUP");
    }
}

// "Setup Complete" needs an answer at every point where the script waits for one: the
// banner, the confirmation after "9" and the restart poll. Anything less ends with its cause
// below the verdict and as the log's last line; a cancel that cut the restart wait short is
// the user's. A complete one says below it what was written.
TEST(DownloadDriver, VerdictNeedsEveryAnswerAndNamesWhatWasMissing) {
    const std::string written = "192.168.1.200/24, 9600 8N1, port 10001, saved by firmware 01.8";
    const std::string noAnswer =
        "no answer on COM1 in 15 s: check the cable and that the converter was switched off "
        "and on";
    const std::string shortAnswer =
        "the converter answered 9 bytes, not a banner; minicom (pid 4242) has the port open "
        "too and may take the converter's answers: close it";
    const std::string takenAnswer = "no answer on COM1 in 15 s: minicom (pid 4242), cat (pid 7) "
                                    "have the port open too and may take the converter's "
                                    "answers: close it";
    const std::string noRestartAnswer = std::string(kCauseNoRestartAnswer) + kSaidClosing;
    const std::string unknown = "firmware V7.0.0.1 is not one this program knows (01.8, V6.5.0.7)";
    const std::string menu = "\r\nSetup menu\r\n  8 Exit without saving\r\n  9 Save and "
                             "restart\r\nYour choice ? ";
    struct Case {
        const char* name;
        std::function<void(DownloadHarness&)> converter;
        DownloadOutcome outcome;
        std::string label;
        std::string_view cause;
        std::string sentEnd = "RS\n";  // the last bytes sent
        std::string_view cancelNote{}; // shown below the text while the script ran on
    };
    const auto healthy = [](DownloadHarness& h) { h.HealthyConverter(FirmwareVariant::V01_8, 1); };
    const std::vector<Case> cases{
        {"healthy", healthy, DownloadOutcome::Complete, "Setup Complete", ""},
        {"no answer", [](DownloadHarness&) {}, DownloadOutcome::NoAnswer,
         "IMPOSSIBLE TO COMPLETE THE SETUP ", noAnswer, "x"},
        {"short answer, another program on the port",
         [](DownloadHarness& h) {
             h.line->SetOtherUsers({"minicom (pid 4242)"});
             h.converter.On([](const ScriptedConverter& c) { return c.Count('x') >= 3; },
                            [](ScriptedConverter& c) { c.Say("\r\nSoftwar"); });
         },
         DownloadOutcome::NoAnswer, "IMPOSSIBLE TO COMPLETE THE SETUP ", shortAnswer, "x"},
        {"no answer, two other programs on the port",
         [](DownloadHarness& h) {
             h.line->SetOtherUsers({"minicom (pid 4242)", "cat (pid 7)"});
         },
         DownloadOutcome::NoAnswer, "IMPOSSIBLE TO COMPLETE THE SETUP ", takenAnswer, "x"},
        {"unknown firmware",
         [](DownloadHarness& h) {
             h.converter.On([](const ScriptedConverter& c) { return c.Count('x') >= 1; },
                            [](ScriptedConverter& c) {
                                c.Say("\r\nSOFTWARE VERSION V7.0.0.1 (setup port)\r\n");
                            });
         },
         DownloadOutcome::FirmwareUnknown, "Hardware version not found", unknown, "7\n0\n"},
        {"no restart answer",
         [](DownloadHarness& h) { h.HealthyConverter(FirmwareVariant::V01_8, 1, 1000); },
         DownloadOutcome::ErrorOnSetup, "ERROR ON SETUP", noRestartAnswer},
        {"silent after its menu",
         [menu](DownloadHarness& h) {
             h.converter.On([](const ScriptedConverter& c) { return c.Count('x') >= 1; },
                            [](ScriptedConverter& c) { c.Say(BannerFor(FirmwareVariant::V01_8)); });
             h.converter.On([](const ScriptedConverter& c) { return c.EndsWith("\n\r"); },
                            [menu](ScriptedConverter& c) { c.Say(menu); });
         },
         DownloadOutcome::ErrorOnSetup, "ERROR ON SETUP", kCauseStoppedAnswering},
        {"menu again after 9, restart answered",
         [](DownloadHarness& h) {
             h.converter.On([](const ScriptedConverter& c) { return c.Count('x') >= 1; },
                            [](ScriptedConverter& c) { c.Say(BannerFor(FirmwareVariant::V01_8)); });
             h.converter.On([](const ScriptedConverter& c) { return c.EndsWith("\n9\n"); },
                            [](ScriptedConverter& c) { c.Say("9\r\n"); });
             // Its menu's last line names "Exit without"; only "9" echoes after it.
             h.converter.On([](const ScriptedConverter& c) { return c.EndsWith("10001\n"); },
                            [](ScriptedConverter& c) {
                                c.Say("Setup menu\r\n  9 Save and restart\r\n  8 Exit without "
                                      "saving\r\n");
                            });
             h.converter.On([](const ScriptedConverter& c) { return c.Count('z') >= 1; },
                            [](ScriptedConverter& c) { c.Say("monitor> "); });
         },
         DownloadOutcome::ErrorOnSetup, "ERROR ON SETUP", kCauseNotConfirmed},
        // A Cancel after the banner: the menu answers go on to "9", the records only to a
        // converter that answered the restart poll.
        {"cancel in the script",
         [healthy](DownloadHarness& h) {
             healthy(h);
             h.converter.On([](const ScriptedConverter& c) { return c.EndsWith("9600"); },
                            [&h](ScriptedConverter&) { h.cancel = true; });
         },
         DownloadOutcome::Cancelled, "Setup cancel from user", kCauseCancelledTyped, "\n9\n",
         kTextCancelPending},
        {"cancel in the restart wait",
         [](DownloadHarness& h) {
             h.HealthyConverter(FirmwareVariant::V01_8, 1, 5);
             h.converter.On([](const ScriptedConverter& c) { return c.Count('z') >= 2; },
                            [&h](ScriptedConverter&) { h.cancel = true; });
         },
         DownloadOutcome::Cancelled, "Setup cancel from user", kCauseCancelledTyped, "\nzz"},
        {"cancel after the restart answer",
         [healthy](DownloadHarness& h) {
             healthy(h);
             h.converter.On([](const ScriptedConverter& c) { return c.EndsWith("S7\n"); },
                            [&h](ScriptedConverter&) { h.cancel = true; });
         },
         DownloadOutcome::Complete, "Setup Complete", "", "RS\n", kTextCancelTooLate},
    };
    for (const Case& c : cases) {
        DownloadHarness h;
        c.converter(h);
        EXPECT_EQ(h.Run(SetupValues{}), c.outcome) << c.name;
        EXPECT_EQ(h.progress.label, c.label) << c.name;
        EXPECT_EQ(h.download->Cause(), c.cause) << c.name;
        const bool complete = c.outcome == DownloadOutcome::Complete;
        const std::string_view below = complete ? std::string_view(written) : c.cause;
        EXPECT_EQ(h.progress.detail, below) << c.name;
        EXPECT_EQ(h.download->Written(), complete ? written : "") << c.name;
        if (!c.cause.empty()) {
            EXPECT_EQ(h.monitor.Lines().back(), c.cause) << c.name;
        }
        std::vector<std::string> details;
        for (std::string_view line : {c.cancelNote, below}) {
            if (!line.empty()) {
                details.emplace_back(line);
            }
        }
        EXPECT_EQ(h.progress.Details(), details) << c.name;
        EXPECT_TRUE(h.progress.okVisible) << c.name;
        EXPECT_FALSE(h.line->IsOpen()) << c.name;
        // Whatever the verdict, the script's bytes went out unchanged up to where it ended.
        EXPECT_TRUE(h.Sent().ends_with(c.sentEnd)) << c.name << ": " << h.Sent();
    }
}

TEST(DownloadDriver, LineThatStopsTakingDataEndsTheDownloadAtOnce) {
    struct Case {
        const char* name;
        std::function<bool(const ScriptedConverter&)> holdWhen;
        std::string sentBefore; // the last bytes that went out
        int pauseAfter;         // the pause that followed them, during which the line stopped
    };
    for (const Case& c :
         {Case{"while polling", [](const ScriptedConverter& cv) { return cv.Count('x') >= 2; },
               "xx", kPollIntervalMs},
          Case{"in the script", [](const ScriptedConverter& cv) { return cv.EndsWith("9600"); },
               "1\n9600", kTypePauseMs}}) {
        DownloadHarness h;
        h.comm.SetWriteTimeout(5); // real milliseconds: the in-memory line holds for that long
        h.HealthyConverter(FirmwareVariant::V01_8, 3);
        h.converter.On(c.holdWhen, [](ScriptedConverter& cv) { cv.Line().HoldWrites(true); });
        EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::ErrorOnSetup) << c.name;
        EXPECT_EQ(h.progress.label, "ERROR ON SETUP") << c.name;
        EXPECT_TRUE(h.progress.okVisible) << c.name;
        EXPECT_FALSE(h.progress.cancelVisible) << c.name;
        EXPECT_FALSE(h.line->IsOpen()) << c.name;
        EXPECT_EQ(h.download->Cause(), kCauseLineHeld) << c.name;
        EXPECT_EQ(h.monitor.Lines().back(), kCauseLineHeld) << c.name;
        EXPECT_TRUE(h.messages.shown.empty()) << c.name;
        const std::string sent = h.Sent();
        ASSERT_GE(sent.size(), c.sentBefore.size()) << c.name;
        EXPECT_EQ(sent.substr(sent.size() - c.sentBefore.size()), c.sentBefore) << c.name;
        // The first byte the line did not take ended it: no pause, no byte after it.
        EXPECT_EQ(h.pacer.NowMs(), h.converter.Received().back().ms + c.pauseAfter) << c.name;
    }
}

TEST(DownloadDriver, EchoesFillTheMonitorLineByLine) {
    DownloadHarness h;
    h.HealthyConverter(FirmwareVariant::V01_8, 1);
    // The converter answers the first address group with a prompt spread over reads.
    h.converter.On([](const ScriptedConverter& c) { return c.EndsWith("200\n"); },
                   [](ScriptedConverter& c) { c.Say("IP address set\r\nGateway (Y/N) ? "); });
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::Complete);
    const auto& lines = h.monitor.Lines();
    ASSERT_GE(lines.size(), 3u);
    // The banner was read whole by the banner read; the echo after 7 s finds nothing of it.
    EXPECT_EQ(lines[0], "IP address set");
    // The unfinished prompt is dropped, not carried into the next line.
    EXPECT_EQ(lines[1], "9 Exit without save / 9 Save and exit");
}

// --- failures with the port open ---------------------------------------------------------

TEST(DownloadDriver, WriteErrorDuringTheScriptClosesThePortAndReachesTheCaller) {
    DownloadHarness h;
    h.HealthyConverter(FirmwareVariant::V01_8, 1);
    h.converter.On([](const ScriptedConverter& c) { return c.EndsWith("9600"); },
                   [](ScriptedConverter& c) { c.Line().FailWrite(comsetup::OsErrorDeviceGone()); });
    try {
        h.Run(SetupValues{});
        FAIL() << "the write error must reach the caller";
    } catch (const ECommError& e) {
        EXPECT_NE(std::string(e.what()).find("Write error"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(
                      "(Error: " + std::to_string(comsetup::OsErrorDeviceGone()) + ")"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(h.line->IsOpen());
    EXPECT_EQ(h.progress.label, "ERROR ON SETUP");
    EXPECT_FALSE(h.progress.cancelVisible);
    EXPECT_TRUE(h.progress.okVisible);
    EXPECT_EQ(h.Sent().substr(h.Sent().size() - 6), "1\n9600"); // nothing after the failure
    EXPECT_EQ(h.monitor.Lines().back(), "the device went away: unplugged adapter?");
    EXPECT_EQ(h.download->Cause(), "the device went away: unplugged adapter?");
}

TEST(DownloadDriver, DeviceVanishingWhilePollingOrInTheScriptEndsCleanly) {
    for (bool inScript : {false, true}) {
        DownloadHarness h;
        if (inScript) {
            h.HealthyConverter(FirmwareVariant::V6_5_0_7, 1);
            h.converter.On([](const ScriptedConverter& c) { return c.EndsWith("YNNNY"); },
                           [](ScriptedConverter& c) { c.Line().Vanish(); });
        } else {
            h.converter.On([](const ScriptedConverter& c) { return c.Count('x') >= 3; },
                           [](ScriptedConverter& c) { c.Line().Vanish(); });
        }
        EXPECT_THROW(h.Run(SetupValues{}), ECommError);
        EXPECT_EQ(h.progress.label, "ERROR ON SETUP");
        EXPECT_EQ(h.download->Cause(), "the device went away: unplugged adapter?");
        EXPECT_TRUE(h.progress.okVisible);
        EXPECT_FALSE(h.progress.cancelVisible);
        EXPECT_FALSE(h.comm.Enabled());
    }
}

// --- primitives ---------------------------------------------------------------------------

class DriverPrimitives : public ::testing::Test {
protected:
    DriverPrimitives()
        : download(DownloadContext{h.comm, h.progress, h.monitor, h.messages, h.pacer, h.cancel}) {
        h.comm.Open();
    }
    DownloadHarness h;
    SetupDownload download;
};

TEST_F(DriverPrimitives, EchoReceivedSplitsLinesAndDropsTheUnfinishedPart) {
    h.line->PushReceived(std::string("AB\r\nCD"));
    download.EchoReceived();
    EXPECT_EQ(h.monitor.Lines(), std::vector<std::string>{"AB"});
    h.line->PushReceived("EF\n\n");
    download.EchoReceived();
    EXPECT_EQ(h.monitor.Lines(), (std::vector<std::string>{"AB", "EF", ""}));
    download.EchoReceived(); // nothing waiting: nothing added
    EXPECT_EQ(h.monitor.Count(), 3);
}

// The lines of text as the monitor takes them: CR dropped, a last part without LF left out.
std::vector<std::string> WholeLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    return lines;
}

// Wherever the converter's output is cut into two echoes (inside a prompt, between CR and
// LF, right after a prompt), the kept log holds every byte, each prompt on one line with the
// answer echoed after it; the monitor's lines, which the verdict reads, stay as before: a
// cut prompt is not among them.
TEST(DownloadDriver, KeptLogJoinsWhatSeparateEchoesBroughtWhereverTheyWereCut) {
    const std::string said = "Flow control code (00) ? 02\r\nLocal port (10001) ? 10002\r\n"
                             "Your choice ? ";
    const std::string whole = "Flow control code (00) ? 02\nLocal port (10001) ? 10002\n"
                              "Your choice ? \nclosing line\n";
    for (std::size_t cut = 0; cut <= said.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        DownloadHarness h;
        KeptMonitorLog monitor(h.monitor);
        SetupDownload download(
            DownloadContext{h.comm, h.progress, monitor, h.messages, h.pacer, h.cancel});
        h.comm.Open();
        const std::string first = said.substr(0, cut);
        const std::string second = said.substr(cut);
        h.line->PushReceived(first);
        download.EchoReceived();
        h.line->PushReceived(second);
        download.EchoReceived();
        monitor.Add("closing line"); // a line of the download's own ends the held part
        EXPECT_EQ(monitor.Finish(), whole);
        std::vector<std::string> verdictLines = WholeLines(first);
        for (const auto& line : WholeLines(second)) {
            verdictLines.push_back(line);
        }
        verdictLines.push_back("closing line");
        EXPECT_EQ(h.monitor.Lines(), verdictLines);
    }
}

// A part still held when the download ends is the kept log's last line, once; it is never a
// line of the monitor.
TEST(DownloadDriver, KeptLogEndsWithAPromptNoLineEndClosed) {
    StringListLog monitor;
    KeptMonitorLog log(monitor);
    log.AddUnended("Your ");
    log.AddUnended("choice ? ");
    EXPECT_EQ(log.Finish(), "Your choice ? \n");
    EXPECT_EQ(log.Finish(), "Your choice ? \n");
    EXPECT_EQ(monitor.Count(), 0);
}

TEST_F(DriverPrimitives, EchoReceivedNeverReadsMoreThanItsBuffer) {
    std::string flood;
    for (int i = 0; i < 600; ++i) {
        flood += "line " + std::to_string(1000 + i) + "\n"; // 10 bytes each: 6000 bytes
    }
    h.line->PushReceived(flood);
    download.EchoReceived();
    EXPECT_EQ(h.comm.InQueCount(), 6000 - kEchoBufferSize);
    EXPECT_EQ(h.monitor.Count(), 500); // 5001 bytes: 500 whole lines, one byte dropped
    EXPECT_EQ(h.monitor.Line(499), "line 1499");
    download.EchoReceived();
    EXPECT_EQ(h.comm.InQueCount(), 0);
    EXPECT_EQ(h.monitor.Count(), 600);
    EXPECT_EQ(h.monitor.Line(500), "ine 1500"); // its first byte went with the first read
}

TEST_F(DriverPrimitives, SendStringPausesAfterEveryCharacter) {
    download.SendString("RS");
    download.SendString("");
    download.Delay(0);
    download.Delay(-5);
    h.Flush();
    EXPECT_EQ(h.Sent(), "RS");
    EXPECT_EQ(h.pacer.Delays(), (std::vector<int>{20, 20}));
}

class PhaseRecorder final : public DownloadObserver {
public:
    void OnProgress(const DownloadProgress& p) override { seen.push_back(p); }
    std::vector<DownloadProgress> seen;
};

// The firmware the dialog names is the one after "SOFTWARE VERSION"; a banner without that
// key names none, whatever its 16th character onwards holds.
TEST(DownloadDriver, ABannerWithoutTheVersionKeyNamesNoFirmware) {
    for (const auto& [bannerText, firmware] :
         {std::pair<std::string, std::string>{"?:B?[?=?KR garbage banner text\r\n", "unknown"},
          {BannerFor(FirmwareVariant::V01_8), "01.8"}}) {
        const std::string banner = bannerText; // a copy the lambda can capture
        DownloadHarness h;
        PhaseRecorder recorder;
        h.observer = &recorder;
        h.converter.On([](const ScriptedConverter& c) { return c.Count('x') >= 1; },
                       [banner](ScriptedConverter& c) { c.Say(banner); });
        h.Run(SetupValues{});
        ASSERT_FALSE(recorder.seen.empty());
        EXPECT_EQ(recorder.seen.back().firmware, firmware) << banner;
    }
}

TEST(DownloadDriver, ObserverSeesPhasesAndPlannedTimeReachingItsTotal) {
    DownloadHarness h;
    PhaseRecorder recorder;
    h.observer = &recorder;
    h.HealthyConverter(FirmwareVariant::V01_8);
    h.Run(SetupValues{});
    std::vector<DownloadPhase> phases;
    for (const auto& p : recorder.seen) {
        if (phases.empty() || phases.back() != p.phase) {
            phases.push_back(p.phase);
        }
        EXPECT_LE(p.plannedDoneMs, p.plannedTotalMs);
    }
    EXPECT_EQ(phases, (std::vector<DownloadPhase>{DownloadPhase::OpeningPort, DownloadPhase::WakeUp,
                                                  DownloadPhase::BannerPause, DownloadPhase::Script,
                                                  DownloadPhase::RestartWait, DownloadPhase::Script,
                                                  DownloadPhase::Finished}));
    const auto& last = recorder.seen.back();
    EXPECT_EQ(last.plannedDoneMs, last.plannedTotalMs);
    EXPECT_EQ(last.plannedTotalMs,
              kBannerPauseMs + 200 +
                  PlannedDurationMs(BuildScript(SetupValues{}, FirmwareVariant::V01_8)));
    // The whole total is known from the banner on, and each report takes over where the step
    // reported before it ends: a clock moving the figures between reports stops there, so a
    // progress bar never runs backwards.
    for (std::size_t i = 0; i < recorder.seen.size(); ++i) {
        const auto& p = recorder.seen[i];
        if (p.phase == DownloadPhase::OpeningPort || p.phase == DownloadPhase::WakeUp) {
            EXPECT_EQ(p.firmware, "");
            continue;
        }
        EXPECT_EQ(p.plannedTotalMs, last.plannedTotalMs);
        EXPECT_EQ(p.firmware, "01.8");
        EXPECT_GE(p.plannedStepEndMs, p.plannedDoneMs);
        const auto& before = recorder.seen[i - 1];
        if (before.phase != DownloadPhase::WakeUp) {
            EXPECT_EQ(p.plannedDoneMs, before.plannedStepEndMs) << i;
        }
    }
}

class RecordingTrace final : public DownloadTrace {
public:
    void OnSend(std::uint8_t byte, std::chrono::nanoseconds at) override {
        sent.push_back(static_cast<char>(byte));
        sendTimes.push_back(at);
    }
    void OnDelay(int ms, std::chrono::nanoseconds start, std::chrono::nanoseconds end) override {
        delays.push_back(ms);
        EXPECT_EQ(end - start, std::chrono::milliseconds(std::max(ms, 0)));
    }
    void OnReceive(std::span<const std::uint8_t> bytes, std::chrono::nanoseconds) override {
        received.append(bytes.begin(), bytes.end());
    }
    std::string sent;
    std::vector<std::chrono::nanoseconds> sendTimes;
    std::vector<int> delays;
    std::string received;
};

TEST(DownloadDriver, TraceRecordsEveryByteEveryPauseAndEveryRead) {
    DownloadHarness h;
    RecordingTrace trace;
    h.trace = &trace;
    h.HealthyConverter(FirmwareVariant::V6_5_0_7);
    EXPECT_EQ(h.Run(SetupValues{}), DownloadOutcome::Complete);
    EXPECT_EQ(trace.sent, h.Sent());
    // Each pause once, as the script plans it, also where the pacer waited in slices so that
    // a Cancel is seen at once (the wake-up polls' pauses, the pause after the banner).
    const auto total = [](const std::vector<int>& delays) {
        return std::accumulate(delays.begin(), delays.end(), std::int64_t{0});
    };
    EXPECT_EQ(total(trace.delays), total(h.pacer.Delays()));
    const std::vector<int> head{300, 500, 500, 500, 500, 7000, 200};
    ASSERT_GT(trace.delays.size(), head.size());
    EXPECT_EQ(std::vector<int>(trace.delays.begin(), trace.delays.begin() + 7), head);
    EXPECT_EQ(trace.received, BannerFor(FirmwareVariant::V6_5_0_7) + kClosingLines);
    ASSERT_EQ(trace.sendTimes.size(), h.converter.Received().size());
    for (std::size_t i = 0; i < trace.sendTimes.size(); ++i) {
        EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(trace.sendTimes[i]).count(),
                  h.converter.Received()[i].ms);
    }
}

// --- "Auto": the search for the converter's port ------------------------------------------

// Lines of the search, in candidate order; the harness's own line (with its converter) is
// the one named `answering`.
struct SearchCase {
    const char* name;
    int answering;             // index of the candidate that answers, -1: none
    std::vector<int> refusing; // candidates whose open fails
    int vanishing = -1;        // candidate unplugged after the third "x"
    DownloadOutcome outcome;
    std::string port;                   // PortName() after the run
    std::vector<std::string> logStarts; // the log's lines before the script's echo begin so
};

TEST(DownloadDriver, AutoSearchesEveryFreePortAndGoesOnWithTheOneThatAnswers) {
    const std::vector<std::string> names{"COM1", "COM2", "COM3", "COM4"};
    const SearchCase cases[] = {
        {"second of four answers, fourth refused",
         1,
         {3},
         -1,
         DownloadOutcome::Complete,
         "COM2",
         {"Auto: COM4 skipped: no such device", "Auto: searching COM1, COM2, COM3",
          "Auto: converter found on COM2"}},
        {"a port unplugged during the search is dropped",
         2,
         {},
         0,
         DownloadOutcome::Complete,
         "COM3",
         {"Auto: searching COM1, COM2, COM3, COM4",
          "Auto: COM1 dropped: ", "Auto: converter found on COM3"}},
        {"none answers",
         -1,
         {},
         -1,
         DownloadOutcome::NoAnswer,
         "",
         {"Auto: searching COM1, COM2, COM3, COM4"}},
        {"none opens",
         -1,
         {0, 1, 2, 3},
         -1,
         DownloadOutcome::PortError,
         "",
         {"Auto: COM1 skipped: ", "Auto: COM2 skipped: ", "Auto: COM3 skipped: ",
          "Auto: COM4 skipped: "}},
    };
    for (const SearchCase& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadHarness h;
        std::vector<std::shared_ptr<MemoryLine>> lines;
        for (std::size_t i = 0; i < names.size(); ++i) {
            lines.push_back(static_cast<int>(i) == c.answering ? h.line
                                                               : std::make_shared<MemoryLine>());
        }
        for (int i : c.refusing) {
            lines[static_cast<std::size_t>(i)]->FailOpen(2);
        }
        if (c.answering >= 0) {
            h.HealthyConverter(FirmwareVariant::V01_8, 4);
        }
        if (c.vanishing >= 0) {
            auto gone = lines[static_cast<std::size_t>(c.vanishing)];
            h.converter.On([](const ScriptedConverter& conv) { return conv.Count('x') >= 3; },
                           [gone](ScriptedConverter&) { gone->Vanish(); });
        }
        std::size_t made = 0;
        h.makePort = [&lines, &made]() -> std::unique_ptr<TCustomComm> {
            return std::make_unique<MemoryComm>(lines.at(made++));
        };
        h.searchPorts = names;
        h.searchPorts.insert(h.searchPorts.begin() + 1, "Auto"); // never searched itself
        h.searchPorts.push_back("com2");                         // the same device as COM2

        SetupValues values;
        values.portName = "auto";
        EXPECT_EQ(h.Run(values), c.outcome);
        EXPECT_EQ(made, names.size());
        EXPECT_EQ(h.download->PortName(), c.port);
        for (std::size_t i = 0; i < c.logStarts.size(); ++i) {
            ASSERT_LT(i, h.monitor.Lines().size());
            EXPECT_EQ(h.monitor.Line(static_cast<int>(i)).rfind(c.logStarts[i], 0), 0u)
                << h.monitor.Line(static_cast<int>(i));
        }
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_FALSE(lines[i]->IsOpen()) << "candidate " << i << " left open";
            if (static_cast<int>(i) == c.answering) {
                EXPECT_EQ(h.SentAfterBanner(),
                          ExpectedAfterBanner(values, FirmwareVariant::V01_8, 3, true));
            } else if (c.answering >= 0) {
                // Polled until the answer, then closed at once: nothing after the "x"s.
                const std::string sent = lines[i]->Written();
                EXPECT_EQ(sent.find_first_not_of('x'), std::string::npos) << sent;
                EXPECT_LE(sent.size(), 4u);
            }
        }
        EXPECT_FALSE(h.comm.Enabled()); // the caller's own component is not used
        if (c.outcome == DownloadOutcome::PortError) {
            ASSERT_EQ(h.messages.shown.size(), 1u);
            EXPECT_EQ(h.messages.shown[0].rfind("Error opening serial port :Auto", 0), 0u);
            EXPECT_EQ(h.progress.label, "Impossible to complete the Setup ");
        } else {
            EXPECT_TRUE(h.messages.shown.empty());
        }
        if (c.outcome == DownloadOutcome::NoAnswer) {
            EXPECT_EQ(h.download->Cause(),
                      "no answer on any of COM1, COM2, COM3, COM4 in 15 s: check the cable and "
                      "that the converter was switched off and on");
            EXPECT_GE(lines[0]->Written().size(), 30u); // every port polled the whole 15 s
            EXPECT_EQ(lines[0]->Written(), lines[3]->Written());
        }
    }
}

} // namespace
} // namespace comsetup::test
