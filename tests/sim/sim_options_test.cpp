// The command line of comsetup-sim.
#include "sim/sim_options.h"

#include <gtest/gtest.h>

using namespace comsetup::sim;

namespace {

TEST(SimOptions, EveryOptionIsTaken) {
    const auto r = ParseSimOptions(
        {"--firmware",     "V6.5.0.7",    "--link",      "/tmp/com1",  "--off-time",    "0",
         "--json",         "out.json",    "--fail",      "flood",      "--once",        "--quiet",
         "--restart-time", "150",         "--idle-time", "3000",       "--no-realtime", "--lan",
         "lan0",           "--boot-time", "250",         "--lan-fail", "wrong-subnet"});
    ASSERT_TRUE(r.options) << r.error;
    const SimOptions& o = *r.options;
    EXPECT_EQ(o.model.firmware, Firmware::V6_5_0_7);
    EXPECT_EQ(o.linkPath, "/tmp/com1");
    EXPECT_EQ(o.model.offTimeUs, 0);
    EXPECT_EQ(o.jsonPath, "out.json");
    EXPECT_EQ(o.model.fail, FailMode::Flood);
    EXPECT_TRUE(o.once);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.model.restartTimeUs, 150'000);
    EXPECT_EQ(o.model.idleTimeUs, 3'000'000);
    EXPECT_FALSE(o.realtime);
    EXPECT_EQ(o.lan.interface, "lan0");
    EXPECT_EQ(o.lan.bootTime, std::chrono::milliseconds(250));
    EXPECT_EQ(o.lan.fail, LanFail::WrongSubnet);
}

TEST(SimOptions, SpinningGivesUpTheRealTimePriority) {
    // A real-time task that never sleeps would starve the kernel work that moves bytes
    // through the pseudo-terminal, so --spin must not keep the default priority request.
    const auto r = ParseSimOptions({"--firmware", "01.8", "--spin"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_TRUE(r.options->spin);
    EXPECT_FALSE(r.options->realtime);
}

TEST(SimOptions, AnOptionGivenTwiceTakesItsLastValue) {
    const auto r = ParseSimOptions(
        {"--firmware", "01.8", "--off-time", "5", "--firmware", "V6.5.0.7", "--off-time", "7"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->model.firmware, Firmware::V6_5_0_7);
    EXPECT_EQ(r.options->model.offTimeUs, 7'000);
}

TEST(SimOptions, DefaultsWithOnlyTheFirmware) {
    const auto r = ParseSimOptions({"--firmware", "01.8"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->model.firmware, Firmware::V01_8);
    EXPECT_EQ(r.options->model.fail, FailMode::Healthy);
    EXPECT_EQ(r.options->model.offTimeUs, 2'000'000);
    EXPECT_TRUE(r.options->linkPath.empty());
    EXPECT_FALSE(r.options->once);
    EXPECT_TRUE(r.options->realtime);
    EXPECT_FALSE(r.options->spin);
}

TEST(SimOptions, FaultsAreNamed) {
    struct Case {
        std::vector<std::string> args;
        const char* inError;
    };
    const Case cases[] = {
        {{}, "--firmware is required"},
        {{"--firmware", "6.5"}, "unknown firmware \"6.5\""},
        {{"--firmware"}, "--firmware needs a value"},
        {{"--firmware", "01.8", "--fail", "sometimes"}, "unknown failure mode"},
        {{"--firmware", "01.8", "--off-time", "-1"}, "--off-time needs milliseconds"},
        {{"--firmware", "01.8", "--off-time", "2s"}, "not \"2s\""},
        {{"--firmware", "01.8", "--off-time", "99999999999999999999"}, "--off-time"},
        {{"--firmware", "01.8", "--idle-time", "0"}, "--idle-time must be above 0"},
        {{"--firmware", "01.8", "--link", ""}, "--link needs a path"},
        {{"--firmware", "01.8", "--json", ""}, "--json needs a file name"},
        {{"--firmware", "01.8", "--restart-time"}, "--restart-time needs a value"},
        {{"--firmware", "01.8", "--verbose"}, "unknown argument \"--verbose\""},
        {{"--firmware", "01.8", "--lan", ""}, "--lan needs an interface name"},
        {{"--firmware", "01.8", "--lan", "x", "--boot-time", "1s"}, "--boot-time needs"},
        {{"--firmware", "01.8", "--lan", "x", "--lan-fail", "late"}, "unknown LAN failure"},
        {{"--firmware", "01.8", "--boot-time", "5"}, "need --lan IFACE"},
    };
    for (const Case& c : cases) {
        const auto r = ParseSimOptions(c.args);
        EXPECT_FALSE(r.options.has_value()) << c.inError;
        EXPECT_NE(r.error.find(c.inError), std::string::npos) << r.error;
    }
}

TEST(SimOptions, HelpAndVersionNeedNoFirmware) {
    struct Case {
        std::vector<std::string> args;
        bool help, version;
    };
    const Case cases[] = {
        {{"--help"}, true, false},
        {{"-h"}, true, false},
        {{"--version"}, false, true},
        {{"--version", "--firmware", "01.8"}, false, true},
    };
    for (const Case& c : cases) {
        const auto r = ParseSimOptions(c.args);
        ASSERT_TRUE(r.options) << c.args[0] << ": " << r.error;
        EXPECT_EQ(r.options->help, c.help) << c.args[0];
        EXPECT_EQ(r.options->version, c.version) << c.args[0];
    }
    EXPECT_NE(SimUsage().find("no-exit-without"), std::string::npos);
    EXPECT_NE(SimUsage().find("--version"), std::string::npos);
}

} // namespace

// Where the stand-in comes up on the LAN: the address and host bits written (the class's
// default for 0), the local port written; wrong-subnet moves it to the neighbouring subnet.
TEST(SimOptions, TheLanAddressIsTheOneWritten) {
    struct Case {
        Address ip;
        int hostBits;
        LanFail fail;
        std::uint32_t address;
        int prefix;
    } cases[] = {
        {{192, 168, 1, 200}, 0, LanFail::None, 0xC0A801C8u, 24},
        {{10, 0, 0, 5}, 16, LanFail::None, 0x0A000005u, 16},
        {{172, 16, 3, 4}, 0, LanFail::None, 0xAC100304u, 16},
        {{10, 1, 2, 3}, 0, LanFail::None, 0x0A010203u, 8},
        {{192, 168, 1, 200}, 0, LanFail::WrongSubnet, 0xC0A800C8u, 24},
    };
    for (const Case& c : cases) {
        ConverterSettings s;
        s.ip = c.ip;
        s.hostBits = c.hostBits;
        s.localPort = "10002";
        const LanAddress lan = AddressOf(s, c.fail);
        EXPECT_EQ(lan.address, c.address) << FormatAddress(c.ip);
        EXPECT_EQ(lan.prefix, c.prefix) << FormatAddress(c.ip);
        EXPECT_EQ(lan.port, 10002);
    }
}
