// The menu scripts, byte for byte and pause for pause, and their encodings.
#include "download/progress_estimate.h"
#include "download/script.h"

#include <gtest/gtest.h>

#include <string>

namespace comsetup {
namespace {

// A compact timeline of a step sequence: printable bytes as themselves, <LF>/<CR>, typed
// texts in braces, pauses in brackets, E for an echo and R for the restart wait.
std::string Timeline(const std::vector<ScriptStep>& steps) {
    std::string out;
    for (const ScriptStep& s : steps) {
        switch (s.kind) {
        case StepKind::SendByte:
            if (s.byte == 0x0A) {
                out += "<LF>";
            } else if (s.byte == 0x0D) {
                out += "<CR>";
            } else {
                out.push_back(static_cast<char>(s.byte));
            }
            break;
        case StepKind::TypeText:
            out += "{" + s.text + "}";
            break;
        case StepKind::Wait:
            out += "[" + std::to_string(s.ms) + "]";
            break;
        case StepKind::Echo:
            out += "E";
            break;
        case StepKind::RestartWait:
            out += "R";
            break;
        }
    }
    return out;
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

const std::string kDefaultIp = "1[100]9[100]2<LF>[200]1[3]6[3]8<LF>[3][200]"
                               "0[3]0[3]1<LF>[200]2[3]0[3]0<LF>[150]E";
const std::string kTail = "[200]9<LF>[100]E[1000][1000]R{S7}<LF>[1000]";
const std::string kRecordsB =
    "{:2000001004060800000000800080008000000000000000000000000000000000000000003E}<LF>[100]"
    "{:200020100000000000000000000000000000000000000000000000000000000000000000B0}<LF>[100]"
    "{:20004010000000000000000000000000000000000000000000000000000000000000000090}<LF>[100]"
    "{:1E00601000000000000000000000000000000000000000000000000000000000000072}<LF>[100]"
    "{:00000001FF}<LF>[100]{RS}<LF>";

TEST(MenuScript, WorkedExampleFirmware018AtTheWindowDefaults) {
    const auto steps = BuildScript(SetupValues{}, FirmwareVariant::V01_8);
    const std::string expected = kDefaultIp + "N[150]" + "8<LF>[150]" + "NE[800]E" + "6<LF>[99]" +
                                 "Y[99]N[99]N[99]N[99]Y[99]Y[100]N[99][100]N[200][390]" +
                                 "1<LF>[82]" + "{9600}<LF>{4C}<LF>{00}<LF>E[100]" + "{10001}<LF>" +
                                 Repeat("[40]<LF>", 12) + "E" + kTail + kRecordsB;
    EXPECT_EQ(Timeline(steps), expected);

    const std::string bytes = "192\n168\n001\n200\nN8\nN6\nYNNNYYNN1\n9600\n4C\n00\n10001\n" +
                              std::string(12, '\n') + "9\nS7\n" + std::string(kRecordB) + "\n" +
                              std::string(kRecord2) + "\n" + std::string(kRecord3) + "\n" +
                              std::string(kRecord4) + "\n" + std::string(kRecordEnd) + "\nRS\n";
    EXPECT_EQ(SentBytes(steps), bytes);

    // Hand-summed: pauses 8356 ms, 377 typed characters at 20 ms, restart wait 3540 ms.
    EXPECT_EQ(PlannedDurationMs(steps), 18036);
    EXPECT_EQ(PlannedDurationMs(steps, 0), 18036 - 3540);
}

TEST(MenuScript, FirmwareV6507AddsOneYesAndItsOwnTunnelOffLines) {
    const auto steps = BuildScript(SetupValues{}, FirmwareVariant::V6_5_0_7);
    const std::string expected = kDefaultIp + "N[150]8<LF>[150]NE[800]E6<LF>[99]" +
                                 "Y[99]N[99]N[99]N[99]Y[99]Y[99]Y[100]N[99][100]N[200][390]" +
                                 "1<LF>[82]{9600}<LF>{4C}<LF>{00}<LF>E[100]{10001}<LF>" +
                                 "[40]<LF>" + Repeat("[40]<CR>", 3) + Repeat("[40]<LF>", 11) + "E" +
                                 kTail + kRecordsB;
    EXPECT_EQ(Timeline(steps), expected);
}

TEST(MenuScript, UnknownFirmwareGetsNoScriptAndTheOpeningIsFixed) {
    EXPECT_TRUE(BuildScript(SetupValues{}, FirmwareVariant::Unknown).empty());
    EXPECT_EQ(Timeline(BuildOpening()), "7<LF>[200]0<LF>");
}

TEST(MenuScript, AddressGroupsAlwaysHaveThreeDigitsAndUseLowEightBits) {
    SetupValues v;
    v.ip = {10, 0, 0, 5};
    const std::string timeline = Timeline(BuildScript(v, FirmwareVariant::V01_8));
    EXPECT_EQ(timeline.rfind("0[100]1[100]0<LF>[200]0[3]0[3]0<LF>[3][200]0[3]0[3]0<LF>[200]"
                             "0[3]0[3]5<LF>[150]E",
                             0),
              0u);
    v.ip = {256 + 7, 255, 512, 99};
    EXPECT_EQ(SentBytes(BuildScript(v, FirmwareVariant::V01_8)).substr(0, 16),
              "007\n255\n000\n099\n");
}

TEST(MenuScript, GatewayGroupsFollowYesWhenTicked) {
    SetupValues v;
    v.useGateway = true;
    v.gateway = {10, 20, 30, 254};
    const std::string timeline = Timeline(BuildScript(v, FirmwareVariant::V6_5_0_7));
    const std::string gateway = "Y[150]0[100]1[100]0<LF>[200]0[3]2[3]0<LF>[3][200]"
                                "0[3]3[3]0<LF>[200]2[3]5[3]4<LF>[150]E[150]8<LF>[150]N";
    EXPECT_EQ(timeline.substr(kDefaultIp.size(), gateway.size()), gateway);
}

TEST(MenuScript, HostBitsSentAsDecimalDigits) {
    struct Case {
        AddressBytes mask;
        int bits;
    };
    for (const Case& c :
         {Case{{255, 255, 255, 0}, 8}, Case{{255, 255, 0, 0}, 16}, Case{{255, 0, 0, 0}, 24},
          Case{{255, 255, 255, 252}, 2}, Case{{255, 255, 254, 0}, 9}, Case{{255, 255, 255, 255}, 0},
          Case{{0, 0, 0, 0}, 32}, Case{{255, 0, 255, 0}, 8}, Case{{255, 255, 255, 7}, 0},
          Case{{128, 0, 0, 0}, 31}, Case{{255, 255, 255, 128}, 7}}) {
        EXPECT_EQ(HostBits(c.mask), c.bits);
        SetupValues v;
        v.mask = c.mask;
        const std::string timeline = Timeline(BuildScript(v, FirmwareVariant::V01_8));
        const std::string expected = "N[150]" + std::to_string(c.bits) + "<LF>[150]NE[800]";
        EXPECT_EQ(timeline.substr(kDefaultIp.size(), expected.size()), expected);
    }
}

TEST(MenuScript, LineFormatCodesForEveryParityAndStopBitCombination) {
    const char* eight[2][3] = {{"4C", "5C", "7C"}, {"CC", "DC", "FC"}};
    const char* seven[2][3] = {{"44", "54", "74"}, {"C4", "D4", "F4"}};
    for (int stop = 0; stop < 2; ++stop) {
        for (int parity = 0; parity < 3; ++parity) {
            EXPECT_EQ(HexByte(LineFormatCode("8", parity, stop)), eight[stop][parity]);
            EXPECT_EQ(HexByte(LineFormatCode("7", parity, stop)), seven[stop][parity]);
            SetupValues v;
            v.parityIndex = parity;
            v.stopBitsIndex = stop;
            v.dataBitsText = std::string(1, '7'); // = "7" trips a false -Wrestrict at -O3
            const std::string bytes = SentBytes(BuildScript(v, FirmwareVariant::V6_5_0_7));
            std::string expected = "9600\n";
            expected += seven[stop][parity];
            expected += "\n00\n";
            EXPECT_NE(bytes.find(expected), std::string::npos);
        }
    }
    // Any data bits text other than exactly "8" counts as seven.
    EXPECT_EQ(LineFormatCode("8 ", 0, 0), 0x44);
    EXPECT_EQ(LineFormatCode("", 0, 0), 0x44);
}

TEST(MenuScript, FlowCodesChooseTheFirstRecord) {
    const char* codes[] = {"00", "01", "02", "05"};
    for (int flow = 0; flow < 4; ++flow) {
        SetupValues v;
        v.flowIndex = flow;
        const std::string bytes = SentBytes(BuildScript(v, FirmwareVariant::V01_8));
        EXPECT_NE(bytes.find(std::string("\n4C\n") + codes[flow] + "\n10001\n"), std::string::npos)
            << flow;
        const std::string_view first = flow == 2 ? kRecordA : kRecordB;
        const std::string_view other = flow == 2 ? kRecordB : kRecordA;
        EXPECT_NE(bytes.find(std::string("S7\n") + std::string(first) + "\n"), std::string::npos);
        EXPECT_EQ(bytes.find(other), std::string::npos);
    }
    EXPECT_EQ(FlowCode(-1), 0);
}

TEST(MenuScript, TunnelOnFirmware018AlwaysSendsTheRemoteAddress) {
    SetupValues v;
    v.tunnel = true;
    v.broadcast = true; // not read by this firmware
    v.remote = {192, 168, 1, 201};
    v.remotePort = 10001;
    const std::string tunnel = "{10001}<LF>{CC}<LF>[40]{01}<LF>[40]"
                               "1[100]9[100]2<LF>[100]1[3]6[3]8<LF>[3]0[3]0[3]1<LF>[100]"
                               "2[3]0[3]1<LF>[49]{10001}<LF>[200]" +
                               Repeat("<LF>[200]", 3) + "E[200]" + kTail;
    const std::string timeline = Timeline(BuildScript(v, FirmwareVariant::V01_8));
    EXPECT_NE(timeline.find(tunnel), std::string::npos) << timeline;
}

TEST(MenuScript, TunnelOnFirmwareV6507BroadcastAnswer) {
    SetupValues v;
    v.tunnel = true;
    v.remotePort = 502;

    v.broadcast = true; // "Y", then the port at once, no remote address
    std::string timeline = Timeline(BuildScript(v, FirmwareVariant::V6_5_0_7));
    EXPECT_NE(timeline.find("{CC}<LF>[40]{01}<LF>[40]Y{502}<LF>[200]<LF>[200]<LF>[200]<LF>[200]"
                            "E[200]" +
                            kTail),
              std::string::npos)
        << timeline;

    v.broadcast = false;
    v.remote = {10, 0, 0, 255};
    timeline = Timeline(BuildScript(v, FirmwareVariant::V6_5_0_7));
    EXPECT_NE(timeline.find("{01}<LF>[40]N[40]0[100]1[100]0<LF>[100]0[3]0[3]0<LF>[3]"
                            "0[3]0[3]0<LF>[100]2[3]5[3]5<LF>[49]{502}<LF>[200]"),
              std::string::npos)
        << timeline;
}

TEST(MenuScript, VerbatimTextsAndEmptyOnes) {
    SetupValues v;
    v.baudText = "";
    v.localPortText = "";
    const std::string bytes = SentBytes(BuildScript(v, FirmwareVariant::V01_8));
    EXPECT_NE(bytes.find("YNNNYYNN1\n\n4C\n00\n\n\n"), std::string::npos);

    v.baudText = "115200";
    v.localPortText = "0023";
    v.tunnel = true;
    v.remotePort = 0;
    const std::string tunnelBytes = SentBytes(BuildScript(v, FirmwareVariant::V01_8));
    EXPECT_NE(tunnelBytes.find("1\n115200\n4C\n00\n0023\nCC\n01\n"), std::string::npos);
    EXPECT_NE(tunnelBytes.find("200\n0\n\n\n\n9\n"), std::string::npos);
}

// Each record must be a valid Intel HEX line: count, address and checksum consistent.
TEST(ConfigurationRecords, AreWellFormedIntelHex) {
    struct Expect {
        std::string_view text;
        int count;
        int address;
        int type;
    };
    for (const Expect& r :
         {Expect{kRecordA, 0x20, 0x00, 0x10}, Expect{kRecordB, 0x20, 0x00, 0x10},
          Expect{kRecord2, 0x20, 0x20, 0x10}, Expect{kRecord3, 0x20, 0x40, 0x10},
          Expect{kRecord4, 0x1E, 0x60, 0x10}, Expect{kRecordEnd, 0x00, 0x00, 0x01}}) {
        ASSERT_EQ(r.text[0], ':');
        std::vector<int> bytes;
        for (std::size_t i = 1; i + 1 < r.text.size(); i += 2) {
            bytes.push_back(std::stoi(std::string(r.text.substr(i, 2)), nullptr, 16));
        }
        ASSERT_EQ(r.text.size(), 1 + 2 * bytes.size());
        EXPECT_EQ(bytes[0], r.count);
        EXPECT_EQ(bytes[1] * 256 + bytes[2], r.address);
        EXPECT_EQ(bytes[3], r.type);
        EXPECT_EQ(static_cast<int>(bytes.size()), r.count + 5);
        int sum = 0;
        for (int b : bytes) {
            sum += b;
        }
        EXPECT_EQ(sum & 0xFF, 0) << r.text;
    }
}

// What the progress dialog and the console line show: the wake-up countdown, then the share
// done and the time left, moving on between reports but never past the end of the step
// reported (so never backwards), and the line under the countdown.
TEST(ProgressEstimate, FiguresByPhaseAndClock) {
    struct Row {
        const char* name;
        DownloadPhase phase;
        std::int64_t done, total, stepEnd, sinceReport, sinceWakeUp;
        double fraction;
        std::optional<long> left;
        bool upperBound;
        std::optional<long> wakeUpLeft;
        std::string firmware = "";
        std::string note = "";
    };
    const std::string restarting(kNoteRestartWait);
    const Row rows[] = {
        {"wake-up just begun", DownloadPhase::WakeUp, 0, 0, 0, 0, 0, -1.0, 15, true, 15},
        {"wake-up 12.1 s in", DownloadPhase::WakeUp, 0, 0, 0, 0, 12100, -1.0, 3, true, 3},
        {"wake-up overrun", DownloadPhase::WakeUp, 0, 0, 0, 0, 16000, -1.0, 0, true, 0},
        {"port opening: nothing planned",
         DownloadPhase::OpeningPort,
         0,
         0,
         0,
         500,
         0,
         -1.0,
         {},
         false,
         {}},
        {"banner pause, 3 s in",
         DownloadPhase::BannerPause,
         0,
         20000,
         7000,
         3000,
         0,
         0.15,
         17,
         false,
         {},
         "01.8",
         "converter answered: firmware 01.8"},
        {"a pause running late stops at its end",
         DownloadPhase::BannerPause,
         0,
         20000,
         7000,
         9000,
         0,
         0.35,
         13,
         false,
         {},
         "01.8",
         "converter answered: firmware 01.8"},
        {"script report",
         DownloadPhase::Script,
         10000,
         20000,
         10200,
         0,
         0,
         0.5,
         10,
         false,
         {},
         "V6.5.0.7",
         "converter answered: firmware V6.5.0.7"},
        {"restart wait within its plan",
         DownloadPhase::RestartWait,
         10000,
         20000,
         13540,
         2000,
         0,
         0.6,
         8,
         false,
         {},
         "01.8",
         "converter answered: firmware 01.8"},
        {"restart wait past its plan: the figures wait with it, and say so",
         DownloadPhase::RestartWait,
         10000,
         20000,
         13540,
         5000,
         0,
         0.677,
         7,
         false,
         {},
         "01.8",
         restarting},
        {"clock never passes the plan",
         DownloadPhase::RestartWait,
         19000,
         20000,
         20000,
         9000,
         0,
         1.0,
         0,
         false,
         {},
         "01.8",
         restarting},
        {"finished: share stays, no time left",
         DownloadPhase::Finished,
         20000,
         20000,
         20000,
         5000,
         0,
         1.0,
         {},
         false,
         {},
         "01.8",
         "converter answered: firmware 01.8"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        DownloadProgress p;
        p.phase = r.phase;
        p.plannedDoneMs = r.done;
        p.plannedTotalMs = r.total;
        p.plannedStepEndMs = r.stepEnd;
        p.firmware = r.firmware;
        const ProgressFigures f = EstimateProgress(p, r.sinceReport, r.sinceWakeUp);
        EXPECT_DOUBLE_EQ(f.fraction, r.fraction);
        EXPECT_EQ(f.secondsLeft, r.left);
        EXPECT_EQ(f.upperBound, r.upperBound);
        EXPECT_EQ(f.wakeUpSecondsLeft, r.wakeUpLeft);
        EXPECT_EQ(f.note, r.note);
    }
}

} // namespace
} // namespace comsetup
