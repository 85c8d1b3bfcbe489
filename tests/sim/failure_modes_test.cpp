// The converter's failure modes, each as a downloading program meets it.
#include "download_emulator.h"
#include "sim/converter_model.h"

#include <gtest/gtest.h>

using namespace comsetup::sim;
using comsetup::test::DownloadEmulator;
using comsetup::test::DownloadResult;
using comsetup::test::DownloadValues;
using comsetup::test::ScriptFirmware;

namespace {

ConverterModel Failing(FailMode fail, Firmware f = Firmware::V01_8) {
    ModelOptions o;
    o.firmware = f;
    o.fail = fail;
    return ConverterModel(o);
}

bool Recognised(const std::string& version) {
    return version == "01.8" || version == "V6.5.0.7";
}

TEST(FailureModes, NoAnswerLetsTheWakeUpWaitTimeOut) {
    ConverterModel model = Failing(FailMode::NoAnswer);
    DownloadEmulator d(model);
    const DownloadResult r = d.Run(DownloadValues{}, ScriptFirmware::V01_8);
    EXPECT_FALSE(r.bannerRead);
    EXPECT_GE(r.xSent, 30);
    EXPECT_LE(r.xSent, 32);
    d.Wait(60'000);
    EXPECT_EQ(d.Unread(), "");
    auto sessions = model.TakeFinishedSessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].end, SessionEnd::Abandoned);
    EXPECT_EQ(sessions[0].stage, Stage::SwitchedOff);
}

TEST(FailureModes, ShortAnswerStaysUnderFifteenBytes) {
    ConverterModel model = Failing(FailMode::ShortAnswer);
    DownloadEmulator d(model);
    const DownloadResult r = d.Run(DownloadValues{}, ScriptFirmware::V01_8);
    EXPECT_FALSE(r.bannerRead);
    EXPECT_GT(d.Unread().size(), 0u);
    EXPECT_LT(d.Unread().size(), 15u);
}

TEST(FailureModes, UnknownFirmwareAndGarbageAreNotRecognised) {
    for (FailMode m : {FailMode::UnknownFirmware, FailMode::Garbage}) {
        ConverterModel model = Failing(m);
        DownloadEmulator d(model);
        const DownloadResult r = d.Run(DownloadValues{}, ScriptFirmware::V01_8);
        EXPECT_TRUE(r.bannerRead) << FailModeName(m);
        EXPECT_GE(r.banner.size(), 15u) << FailModeName(m);
        EXPECT_FALSE(Recognised(r.version)) << FailModeName(m) << ": " << r.version;
    }
    ConverterModel unknown = Failing(FailMode::UnknownFirmware);
    DownloadEmulator d(unknown);
    const DownloadResult r = d.Run(DownloadValues{}, ScriptFirmware::V01_8);
    EXPECT_NE(r.banner.find("SOFTWARE VERSION"), std::string::npos);
    EXPECT_FALSE(r.version.empty()); // a version is there, just not a known one
}

TEST(FailureModes, NoRestartLetsTheRestartWaitTimeOut) {
    ConverterModel model = Failing(FailMode::NoRestart, Firmware::V6_5_0_7);
    DownloadEmulator d(model);
    const DownloadResult r = d.Run(DownloadValues{}, ScriptFirmware::V6_5_0_7);
    EXPECT_TRUE(r.verdictComplete);
    EXPECT_FALSE(r.restartAnswered);
    EXPECT_GE(r.zSent, 30);
    d.Wait(20'000);
    auto sessions = model.TakeFinishedSessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].end, SessionEnd::Abandoned);
    EXPECT_TRUE(sessions[0].saved);
    EXPECT_FALSE(sessions[0].loadStarted);
    EXPECT_GE(sessions[0].zPolls, 30);
}

TEST(FailureModes, MenuWithoutExitWithoutGivesTheErrorVerdict) {
    ConverterModel model = Failing(FailMode::NoExitWithout);
    DownloadEmulator d(model);
    const DownloadResult r = d.Run(DownloadValues{}, ScriptFirmware::V01_8);
    EXPECT_TRUE(r.restartAnswered);
    EXPECT_FALSE(r.verdictComplete);
    for (const auto& line : r.log)
        EXPECT_EQ(line.find("Exit without"), std::string::npos) << line;
}

TEST(FailureModes, FloodOverrunsAnEchoBufferAndSpoilsTheVerdict) {
    ConverterModel model = Failing(FailMode::Flood);
    DownloadEmulator d(model);
    d.Run(DownloadValues{}, ScriptFirmware::V01_8);
    // 10 kB a second from the menu on: far more than a 5001-byte echo buffer holds
    // between two echoes.
    EXPECT_GT(model.BytesProduced(), 100'000u);
    ConverterModel again = Failing(FailMode::Flood);
    DownloadEmulator e(again);
    const DownloadResult r = e.Run(DownloadValues{}, ScriptFirmware::V01_8);
    EXPECT_FALSE(r.verdictComplete);
}

TEST(FailureModes, VanishEndsTheLineInTheMiddleOfTheMenu) {
    ConverterModel model = Failing(FailMode::Vanish);
    DownloadEmulator d(model);
    d.Run(DownloadValues{}, ScriptFirmware::V01_8);
    EXPECT_TRUE(model.Vanished());
    auto sessions = model.TakeFinishedSessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].end, SessionEnd::Vanished);
    EXPECT_EQ(sessions[0].stage, Stage::Menu);
    EXPECT_EQ(sessions[0].settings.hostBits, 8); // got that far
    EXPECT_FALSE(sessions[0].saved);
    // Nothing more goes in or out.
    const std::size_t received = sessions[0].received.size();
    EXPECT_GT(received, 0u);
    model.Receive("x", d.NowUs() + 1);
    EXPECT_EQ(model.TakeOutput(), "");
    EXPECT_TRUE(model.TakeFinishedSessions().empty());
    EXPECT_FALSE(model.NextEventUs().has_value());
}

TEST(FailureModes, NamesRoundTrip) {
    for (FailMode m : {FailMode::Healthy, FailMode::NoAnswer, FailMode::ShortAnswer,
                       FailMode::UnknownFirmware, FailMode::Garbage, FailMode::NoRestart,
                       FailMode::NoExitWithout, FailMode::Flood, FailMode::Vanish})
        EXPECT_EQ(ParseFailMode(FailModeName(m)), m) << FailModeName(m);
    EXPECT_EQ(ParseFailMode("none"), FailMode::NoAnswer);
    EXPECT_FALSE(ParseFailMode("nonsense").has_value());
}

} // namespace
