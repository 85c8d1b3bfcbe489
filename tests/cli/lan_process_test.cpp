// comsetup-cli with --lan-check, end to end: the program runs in a "PC" network namespace of
// the test's own, the converter stand-in in a "LAN" namespace joined to it by a veth; after a
// complete download the stand-in comes up on the LAN at the address it was given. Nothing
// leaves the two namespaces, which LanNamespaces makes with `unshare --net`
// (tests/support/lan_namespaces.cpp). Skipped, with the reason, where they cannot be made:
// never run on the machine's own network.
#include "tests/support/child_process.h"
#include "tests/support/lan_namespaces.h"

#include "cli/exit_codes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>

using namespace comsetup::cli;
using comsetup::test::ChildProcess;
using comsetup::test::LanNamespaces;
using comsetup::test::ReadFile;
using comsetup::test::TempFolder;
using namespace std::chrono_literals;

namespace {

constexpr auto kDownloadLimit = 150s;

class CliLan : public ::testing::Test {
protected:
    void SetUp() override {
        std::string whyNot;
        net_ = LanNamespaces::Make(whyNot);
        if (!net_) {
            GTEST_SKIP() << "no network namespaces here: " << whyNot;
        }
    }

    // A stand-in in the LAN namespace, reachable through a symlink in the test's folder.
    std::unique_ptr<ChildProcess> StandIn(const std::string& name,
                                          std::vector<std::string> lanOptions = {}) {
        std::vector<std::string> argv{COMSETUP_SIM_PATH,
                                      "--firmware",
                                      "01.8",
                                      "--link",
                                      folder_.File(name),
                                      "--off-time",
                                      "300",
                                      "--restart-time",
                                      "1000",
                                      "--lan",
                                      "lan0"};
        argv.insert(argv.end(), lanOptions.begin(), lanOptions.end());
        auto process = std::make_unique<ChildProcess>(net_->InLan(argv));
        EXPECT_FALSE(process->FirstLine(20s).empty()) << process->Err();
        return process;
    }

    // comsetup-cli in the PC namespace, recording in the test's journal.
    std::unique_ptr<ChildProcess> Cli(std::vector<std::string> args) {
        args.insert(args.begin(), COMSETUP_CLI_PATH);
        args.insert(args.end(), {"--journal", folder_.File("journal.sqlite")});
        return std::make_unique<ChildProcess>(net_->InPc(args));
    }

    TempFolder folder_;
    std::unique_ptr<LanNamespaces> net_;
};

nlohmann::json Json(const std::string& text) {
    return nlohmann::json::parse(text, nullptr, false);
}

} // namespace

// The whole chain: free before the write, the converter found after it with its MAC and its
// port open, in the report lines under the written line and in the JSON.
TEST_F(CliLan, ConverterIsFoundAtItsNewAddressAfterTheWrite) {
    auto sim = StandIn("up", {"--boot-time", "1500"});
    auto cli = Cli({"download", "--port", folder_.File("up"), "--plain", "--ip", "192.168.1.200",
                    "--lan-check", "--lan-wait", "20", "--json"});
    ASSERT_EQ(cli->Wait(kDownloadLimit), kExitComplete) << cli->Err();
    const std::string progress = cli->Err();
    EXPECT_NE(progress.find("Setup Complete\n  192.168.1.200/24, 9600 8N1, port 10001, saved by "
                            "firmware 01.8\nlooking for 192.168.1.200 on pc0\u2026 0 s\nanswers "
                            "at 192.168.1.200 (MAC 02:00:5e:10:00:01, TCP port 10001 open) after "),
              std::string::npos)
        << progress;
    const auto json = Json(cli->Out());
    ASSERT_TRUE(json.is_object()) << cli->Out();
    const auto& lan = json["lan"];
    EXPECT_EQ(lan["on_link"], true);
    EXPECT_EQ(lan["interface"], "pc0");
    EXPECT_EQ(lan["answered"], true);
    EXPECT_EQ(lan["mac"], LanNamespaces::kLanMac);
    EXPECT_EQ(lan["tcp"], "open");
    EXPECT_GE(lan["waited_ms"].get<int>(), 1000); // the stand-in's boot time, after "RS"
    EXPECT_EQ(lan["before"]["answered"], false);
    EXPECT_EQ(lan["before"]["mac"], nullptr);
    // The journal lists the MAC beside the address.
    ChildProcess listing(
        {COMSETUP_CLI_PATH, "journal", "--journal", folder_.File("journal.sqlite")});
    ASSERT_EQ(listing.Wait(30s), 0) << listing.Err();
    EXPECT_NE(listing.Out().find("192.168.1.200  02:00:5e:10:00:01  01.8"), std::string::npos)
        << listing.Out();
}

// A converter that never comes up: the report says so with the PC's networks; strict ends
// with exit code 10, the serial verdict unchanged.
TEST_F(CliLan, ConverterNeverUpEndsWithTenWhenStrict) {
    auto sim = StandIn("silent", {"--lan-fail", "silent"});
    auto cli = Cli({"download", "--port", folder_.File("silent"), "--plain", "--ip",
                    "192.168.1.200", "--lan-check=strict", "--lan-wait", "2"});
    ASSERT_EQ(cli->Wait(kDownloadLimit), kExitNotOnLan) << cli->Err();
    EXPECT_NE(cli->Out().find("Setup Complete\n"), std::string::npos) << cli->Out();
    EXPECT_TRUE(cli->Out().ends_with("no answer from 192.168.1.200 within 2 s\n  this PC: pc0 "
                                     "192.168.1.1/24 up\n"))
        << cli->Out();
}

// Another device holds the address: a warning before the write and on with it, or with
// strict a refusal before the port is even opened (the stand-in sees no byte).
TEST_F(CliLan, TakenAddressIsWarnedOfOrRefusedWhenStrict) {
    ASSERT_TRUE(net_->RunInLan("ip addr add 192.168.1.200/24 dev lan0"));
    auto sim = StandIn("taken");
    auto strict = Cli({"download", "--port", folder_.File("taken"), "--plain", "--ip",
                       "192.168.1.200", "--lan-check=strict", "--json"});
    ASSERT_EQ(strict->Wait(30s), kExitBadArguments) << strict->Err();
    EXPECT_NE(strict->Err().find("--lan-check=strict: 192.168.1.200 already answers on pc0 (MAC "
                                 "02:00:5e:10:00:01). If that is not this converter, two "
                                 "devices will share the address.; nothing was sent"),
              std::string::npos)
        << strict->Err();
    const auto json = Json(strict->Out());
    EXPECT_EQ(json["lan"]["before"]["answered"], true) << strict->Out();
    EXPECT_EQ(json["lan"]["before"]["mac"], LanNamespaces::kLanMac);
    sim->Signal(SIGTERM);
    sim->Wait(10s);
    EXPECT_EQ(sim->Out().find("session"), std::string::npos) << sim->Out(); // nothing received
}

// An address on none of the PC's networks: the refusal text, the download goes on, and not
// one packet leaves the PC's namespace from start to end.
TEST_F(CliLan, OffLinkAddressSendsNothingAtAll) {
    auto sim = StandIn("offlink");
    const std::uint64_t sentBefore = net_->PcPacketsSent();
    auto cli = Cli({"download", "--port", folder_.File("offlink"), "--plain", "--ip", "10.9.8.7",
                    "--mask", "255.255.255.0", "--lan-check"});
    ASSERT_EQ(cli->Wait(kDownloadLimit), kExitComplete) << cli->Err();
    EXPECT_NE(cli->Out().find("warning: 10.9.8.7 is not on this PC's networks (pc0 "
                              "192.168.1.1/24): this PC cannot reach it directly\n"),
              std::string::npos)
        << cli->Out();
    EXPECT_TRUE(cli->Out().ends_with("Setup Complete\n  10.9.8.7/24, 9600 8N1, port 10001, saved "
                                     "by firmware 01.8\n"))
        << cli->Out();
    EXPECT_EQ(net_->PcPacketsSent(), sentBefore);
}

// Ctrl+C during the wait ends the wait only: the setup is complete and says so.
TEST_F(CliLan, CtrlCDuringTheWaitEndsOnlyTheWait) {
    auto sim = StandIn("cancel", {"--lan-fail", "silent"});
    auto cli = Cli({"download", "--port", folder_.File("cancel"), "--plain", "--ip",
                    "192.168.1.200", "--lan-check", "--lan-wait", "60"});
    ASSERT_TRUE(cli->WaitForText("looking for 192.168.1.200", kDownloadLimit)) << cli->Out();
    std::this_thread::sleep_for(1s);
    cli->Signal(SIGINT);
    ASSERT_EQ(cli->Wait(20s), kExitComplete) << cli->Err();
    EXPECT_NE(cli->Out().find("stopped looking for 192.168.1.200 after "), std::string::npos)
        << cli->Out();
    EXPECT_NE(cli->Out().find(" (cancelled): the setup is complete\n"), std::string::npos);
}

// A batch of four with the check on, one of which never comes up: the table's LAN column
// says which.
TEST_F(CliLan, BatchOfFourShowsTheOneThatDidNotComeUp) {
    std::vector<std::unique_ptr<ChildProcess>> sims;
    nlohmann::json batch = nlohmann::json::array();
    for (int i = 1; i <= 4; ++i) {
        const std::string name = "unit" + std::to_string(i);
        sims.push_back(StandIn(name, i == 3 ? std::vector<std::string>{"--lan-fail", "silent"}
                                            : std::vector<std::string>{"--boot-time", "500"}));
        batch.push_back(
            {{"port", folder_.File(name)}, {"ip", "192.168.1." + std::to_string(200 + i)}});
    }
    std::ofstream(folder_.File("batch.json")) << batch.dump();
    auto cli = Cli({"batch", folder_.File("batch.json"), "--lan-check", "--lan-wait", "8"});
    ASSERT_EQ(cli->Wait(kDownloadLimit), kExitComplete) << cli->Err();
    const std::string out = cli->Out();
    EXPECT_NE(out.find("LAN"), std::string::npos) << out;
    for (int i = 1; i <= 4; ++i) {
        const std::string port = folder_.File("unit" + std::to_string(i));
        const auto row = out.find("\n" + port + " ");
        ASSERT_NE(row, std::string::npos) << out;
        const std::string line = out.substr(row + 1, out.find('\n', row + 1) - row - 1);
        EXPECT_NE(line.find(i == 3 ? "not found" : "found 02:00:5e:10:00:01"), std::string::npos)
            << line;
    }
}
