// The converter model driven by complete downloads in virtual time: what it decodes from
// both firmware scripts, and that a correct download ends with the complete verdict.
#include "download_emulator.h"
#include "sim/converter_model.h"

#include <gtest/gtest.h>

using namespace comsetup::sim;
using comsetup::test::DownloadEmulator;
using comsetup::test::DownloadResult;
using comsetup::test::DownloadValues;
using comsetup::test::ScriptFirmware;

namespace {

ModelOptions Options(Firmware f, FailMode fail = FailMode::Healthy) {
    ModelOptions o;
    o.firmware = f;
    o.fail = fail;
    return o;
}

ScriptFirmware ScriptFor(Firmware f) {
    return f == Firmware::V01_8 ? ScriptFirmware::V01_8 : ScriptFirmware::V6_5_0_7;
}

struct Outcome {
    DownloadResult download;
    SessionReport report;
};

// Runs one download and lets the converter finish the session.
Outcome Download(ConverterModel& model, const DownloadValues& v, Firmware f) {
    DownloadEmulator d(model);
    Outcome o;
    o.download = d.Run(v, ScriptFor(f));
    auto sessions = model.TakeFinishedSessions();
    EXPECT_EQ(sessions.size(), 1u);
    if (!sessions.empty())
        o.report = sessions.back();
    return o;
}

class BothFirmwares : public ::testing::TestWithParam<Firmware> {};

TEST_P(BothFirmwares, DefaultDownloadIsDecodedAndEndsComplete) {
    ConverterModel model(Options(GetParam()));
    const Outcome o = Download(model, DownloadValues{}, GetParam());

    EXPECT_EQ(o.download.version, GetParam() == Firmware::V01_8 ? "01.8" : "V6.5.0.7");
    EXPECT_TRUE(o.download.restartAnswered);
    EXPECT_TRUE(o.download.verdictComplete)
        << "second-to-last line: " << o.download.log[o.download.log.size() - 2];
    const SessionReport& r = o.report;
    EXPECT_EQ(r.end, SessionEnd::Complete);
    EXPECT_TRUE(r.saved);
    EXPECT_TRUE(r.defaultsLoaded);
    EXPECT_TRUE(r.anomalies.empty()) << r.anomalies.front();
    EXPECT_EQ(r.settings.ip, (Address{192, 168, 1, 200}));
    EXPECT_FALSE(r.settings.useGateway);
    EXPECT_EQ(r.settings.hostBits, 8);
    EXPECT_EQ(r.settings.baud, "9600");
    EXPECT_EQ(r.settings.lineCode, 0x4C);
    EXPECT_EQ(r.settings.flowCode, 0x00);
    EXPECT_EQ(r.settings.localPort, "10001");
    EXPECT_FALSE(r.settings.Tunnel());
    EXPECT_EQ(r.serviceAnswers, GetParam() == Firmware::V01_8 ? "YNNNYYNN" : "YNNNYYYNN");
    EXPECT_TRUE(r.pageSelected);
    EXPECT_TRUE(r.loadStarted);
    EXPECT_EQ(r.firstRecord, 'B');
    EXPECT_TRUE(r.loadComplete);
    EXPECT_TRUE(r.reset);
    EXPECT_EQ(r.stage, Stage::Records);
}

TEST_P(BothFirmwares, TunnelWithGatewayAndRemoteIsDecoded) {
    ConverterModel model(Options(GetParam()));
    DownloadValues v;
    v.ip = {10, 0, 0, 5};
    v.hostBits = "16";
    v.useGateway = true;
    v.gateway = {10, 0, 0, 1};
    v.baud = "115200";
    v.lineCode = "FC";
    v.flowCode = "02";
    v.localPort = "4001";
    v.tunnel = true;
    v.remote = {10, 0, 7, 9};
    v.remotePort = 10002;
    const Outcome o = Download(model, v, GetParam());

    EXPECT_TRUE(o.download.verdictComplete);
    const SessionReport& r = o.report;
    EXPECT_TRUE(r.anomalies.empty()) << r.anomalies.front();
    EXPECT_EQ(r.settings.ip, (Address{10, 0, 0, 5}));
    EXPECT_TRUE(r.settings.useGateway);
    EXPECT_EQ(r.settings.gateway, (Address{10, 0, 0, 1}));
    EXPECT_EQ(r.settings.hostBits, 16);
    EXPECT_EQ(r.settings.baud, "115200");
    EXPECT_EQ(r.settings.lineCode, 0xFC);
    EXPECT_EQ(r.settings.flowCode, 0x02);
    EXPECT_EQ(r.settings.localPort, "4001");
    EXPECT_TRUE(r.settings.Tunnel());
    EXPECT_EQ(r.settings.connectCode, 0xCC);
    EXPECT_EQ(r.settings.linkCode, 0x01);
    EXPECT_FALSE(r.settings.broadcast);
    EXPECT_EQ(r.settings.remote, (Address{10, 0, 7, 9}));
    EXPECT_EQ(r.settings.remotePort, "10002");
    EXPECT_EQ(r.firstRecord, 'A');
    EXPECT_TRUE(r.loadComplete);
}

INSTANTIATE_TEST_SUITE_P(Firmware, BothFirmwares,
                         ::testing::Values(Firmware::V01_8, Firmware::V6_5_0_7),
                         [](const auto& info) {
                             return info.param == Firmware::V01_8 ? std::string("V01_8")
                                                                  : std::string("V6_5_0_7");
                         });

TEST(ConverterModel, BroadcastAnswerOnV6SkipsTheRemoteAddress) {
    ConverterModel model(Options(Firmware::V6_5_0_7));
    DownloadValues v;
    v.tunnel = true;
    v.broadcast = true;
    v.remote = {192, 168, 1, 255}; // not sent with the broadcast answer
    v.remotePort = 10001;
    const Outcome o = Download(model, v, Firmware::V6_5_0_7);

    EXPECT_TRUE(o.download.verdictComplete);
    EXPECT_TRUE(o.report.anomalies.empty()) << o.report.anomalies.front();
    EXPECT_TRUE(o.report.settings.broadcast);
    EXPECT_EQ(o.report.settings.remote, (Address{0, 0, 0, 0}));
    EXPECT_EQ(o.report.settings.remotePort, "10001");
}

TEST(ConverterModel, ScriptOfTheOtherFirmwareShowsAsAnomalies) {
    // Eight yes/no answers where V6.5.0.7 asks nine: the serial line answers land in the
    // wrong places and must not be reported as a clean download.
    ConverterModel model(Options(Firmware::V6_5_0_7));
    DownloadEmulator d(model);
    DownloadValues v;
    v.baud = "19200";
    d.Run(v, ScriptFirmware::V01_8);
    auto sessions = model.TakeFinishedSessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_FALSE(sessions[0].anomalies.empty());
    EXPECT_NE(sessions[0].settings.baud, "19200");
}

TEST(ConverterModel, SwitchedOffPeriodSwallowsThePollingUntilItEnds) {
    ModelOptions o = Options(Firmware::V01_8);
    o.offTimeUs = 2'000'000;
    ConverterModel model(o);
    for (int i = 0; i < 4; ++i) { // t = 0 .. 1.5 s
        model.Receive("x", i * 500'000);
        model.Advance(i * 500'000 + 499'999);
        EXPECT_EQ(model.TakeOutput(), "") << "poll " << i;
    }
    model.Receive("x", 2'000'000);
    const std::string banner = model.TakeOutput();
    EXPECT_GE(banner.size(), 15u);
    EXPECT_EQ(comsetup::test::CutVersion(banner), "01.8");
    EXPECT_EQ(model.Current().xPolls, 5);
}

TEST(ConverterModel, ZeroOffTimeAnswersTheFirstPoll) {
    ModelOptions o = Options(Firmware::V6_5_0_7);
    o.offTimeUs = 0;
    ConverterModel model(o);
    model.Receive("x", 1000);
    EXPECT_EQ(comsetup::test::CutVersion(model.TakeOutput()), "V6.5.0.7");
}

TEST(ConverterModel, ReadyForTheNextDownloadAndKeepsWhatWasSaved) {
    ConverterModel model(Options(Firmware::V01_8));
    DownloadEmulator first(model, 0);
    DownloadValues v;
    v.ip = {10, 1, 2, 3};
    ASSERT_TRUE(first.Run(v, ScriptFirmware::V01_8).verdictComplete);
    ASSERT_EQ(model.TakeFinishedSessions().size(), 1u);
    EXPECT_FALSE(model.InSession());

    DownloadEmulator second(model, first.NowUs() + 5'000'000);
    v.ip = {10, 1, 2, 4};
    const DownloadResult r = second.Run(v, ScriptFirmware::V01_8);
    EXPECT_TRUE(r.verdictComplete);
    // The converter shows the stored settings of the first download when the menu opens.
    bool shown = false;
    for (const auto& line : r.log)
        shown = shown || line.find("10.1.2.3") != std::string::npos;
    EXPECT_TRUE(shown);
    auto sessions = model.TakeFinishedSessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].number, 2);
    EXPECT_EQ(sessions[0].settings.ip, (Address{10, 1, 2, 4}));
}

TEST(ConverterModel, CancelAfterTheBannerLosesTheRecords) {
    // Without the restart wait, "S7" and the records reach a converter that is still
    // restarting or not yet in its monitor: nothing is loaded, and the session is left
    // without a reset until the idle time ends it.
    ConverterModel model(Options(Firmware::V01_8));
    DownloadEmulator d(model);
    const DownloadResult r = d.Run(DownloadValues{}, ScriptFirmware::V01_8, true);
    EXPECT_TRUE(r.verdictComplete); // the verdict only looks at the lines after "9"
    EXPECT_TRUE(model.TakeFinishedSessions().empty());
    d.Wait(10'000);
    auto sessions = model.TakeFinishedSessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].end, SessionEnd::Abandoned);
    EXPECT_TRUE(sessions[0].saved);
    EXPECT_FALSE(sessions[0].loadStarted);
    EXPECT_TRUE(sessions[0].records.empty());
    EXPECT_FALSE(sessions[0].anomalies.empty());
}

TEST(ConverterModel, EveryReceivedByteIsKeptWithItsTime) {
    ConverterModel model(Options(Firmware::V01_8));
    DownloadEmulator d(model);
    d.Run(DownloadValues{}, ScriptFirmware::V01_8);
    auto sessions = model.TakeFinishedSessions();
    ASSERT_EQ(sessions.size(), 1u);
    const auto& rx = sessions[0].received;
    ASSERT_FALSE(rx.empty());
    EXPECT_EQ(rx.front().byte, 'x');
    EXPECT_EQ(rx.back().byte, '\n');
    EXPECT_EQ(rx[rx.size() - 3].byte, 'R');
    for (std::size_t i = 1; i < rx.size(); ++i)
        ASSERT_LE(rx[i - 1].tUs, rx[i].tUs) << "byte " << i;
    // "RS" is typed with 20 ms after each character.
    EXPECT_EQ(rx[rx.size() - 2].tUs - rx[rx.size() - 3].tUs, 20'000);
}

} // namespace

namespace {

TEST(ConverterModel, RandomBytesInEveryStateNeitherThrowNorStickIt) {
    // Junk at every stage of a session (including long runs without a line end), then a
    // clean download: the converter must survive the junk and serve the download.
    for (Firmware f : {Firmware::V01_8, Firmware::V6_5_0_7}) {
        ModelOptions o;
        o.firmware = f;
        o.offTimeUs = 0;
        o.restartTimeUs = 1000;
        ConverterModel model(o);
        std::uint32_t seed = 12345;
        std::int64_t now = 0;
        const std::string prefixes[] = {"",       "x",      "x\n",     "x\n0\n",     "x\n1\n",
                                        "x\n6\n", "x\n9\n", "x\n9\nz", "x\n9\nzS7\n"};
        for (const std::string& prefix : prefixes) {
            model.Receive(prefix, now);
            now += 2000;
            model.Advance(now);
            std::string junk;
            for (int i = 0; i < 3000; ++i) {
                seed = seed * 1103515245u + 12345u;
                junk.push_back(static_cast<char>(seed >> 16));
            }
            ASSERT_NO_THROW(model.Receive(junk, now)) << "after \"" << prefix << "\"";
            now += 20'000'000; // idle: the session is abandoned
            model.Advance(now);
            model.TakeOutput();
            model.TakeFinishedSessions();
            ASSERT_FALSE(model.InSession());
        }
        DownloadEmulator d(model, now);
        EXPECT_TRUE(d.Run(DownloadValues{}, ScriptFor(f)).verdictComplete);
        auto sessions = model.TakeFinishedSessions();
        ASSERT_EQ(sessions.size(), 1u);
        EXPECT_EQ(sessions[0].end, SessionEnd::Complete);
        EXPECT_TRUE(sessions[0].anomalies.empty());
    }
}

} // namespace
