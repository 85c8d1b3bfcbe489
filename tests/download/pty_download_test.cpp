// Real-time downloads through a pseudo-terminal against comsetup-sim, one per firmware,
// checking the configuration the stand-in decoded from what it received.
#include "sim_process.h"

#include "download/driver.h"
#include "download/setup_rules.h"
#include "serial/comm.h"
#include "serial/owner_pump.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace comsetup::testing {
namespace {

class NullProgress final : public ProgressView {
public:
    void SetText(const std::string& text) override { label = text; }
    void ShowCancel(bool visible) override { cancelVisible = visible; }
    void ShowOk(bool visible) override { okVisible = visible; }
    void BringToFront() override {}
    std::string label;
    bool cancelVisible = false;
    bool okVisible = false;
};

class CollectMessages final : public MessageSink {
public:
    void ShowError(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

struct RealRun {
    DownloadOutcome outcome;
    std::string label;
    nlohmann::json session;
    StringListLog log;
};

RealRun DownloadAgainstSim(const std::string& firmware, const SetupValues& base) {
    const std::string json = TempPath("comsetup-sim") + ".json";
    SimProcess sim(COMSETUP_SIM_PROGRAM, {"--firmware", firmware, "--off-time", "300", "--json",
                                          json, "--once", "--quiet"});
    SetupValues values = base;
    values.portName = sim.PtyPath();

    QueuedOwnerPump pump;
    TComm comm(&pump);
    NullProgress progress;
    CollectMessages messages;
    RealPacer pacer(&pump);
    std::atomic<bool> cancel{false};
    RealRun run;
    DownloadContext context{comm, progress, run.log, messages, pacer, cancel};
    run.outcome = RunDownload(context, values);
    run.label = progress.label;
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(progress.okVisible);
    EXPECT_FALSE(comm.Enabled());

    EXPECT_TRUE(sim.WaitExit(std::chrono::seconds(10))) << "the stand-in saw no complete session";
    std::ifstream in(json);
    if (in) {
        const auto doc = nlohmann::json::parse(in, nullptr, false);
        if (doc.is_object() && !doc["sessions"].empty()) {
            run.session = doc["sessions"][0];
        }
    }
    std::remove(json.c_str());
    return run;
}

TEST(DownloadOverPty, Firmware018TunnelPointToPoint) {
    SetupValues values;
    values.ip = {10, 0, 0, 5};
    values.mask = {255, 255, 254, 0};
    values.useGateway = true;
    values.gateway = {10, 0, 0, 1};
    values.baudText = "19200";
    values.parityIndex = 2;
    values.stopBitsIndex = 1;
    values.flowIndex = 2;
    values.localPortText = "4001";
    values.remote = {10, 0, 1, 9};
    values.remotePort = 10002;
    ApplyOperatingMode(values, OperatingMode::TunnelPointToPoint, false);

    const RealRun run = DownloadAgainstSim("01.8", values);
    EXPECT_EQ(run.outcome, DownloadOutcome::Complete);
    EXPECT_EQ(run.label, "Setup Complete");
    ASSERT_TRUE(run.session.is_object());
    const auto& config = run.session["config"];
    EXPECT_EQ(run.session["end"], "complete");
    EXPECT_EQ(run.session["anomalies"].size(), 0u) << run.session["anomalies"].dump();
    EXPECT_EQ(run.session["service_answers"], "YNNNYYNN");
    EXPECT_EQ(config["ip"], "10.0.0.5");
    EXPECT_EQ(config["use_gateway"], true);
    EXPECT_EQ(config["gateway"], "10.0.0.1");
    EXPECT_EQ(config["host_bits"], 9);
    EXPECT_EQ(config["baud"], "19200");
    EXPECT_EQ(config["line_code"], "FC");
    EXPECT_EQ(config["flow_code"], "02");
    EXPECT_EQ(config["local_port"], "4001");
    EXPECT_EQ(config["tunnel"], true);
    EXPECT_EQ(config["remote"], "10.0.1.9");
    EXPECT_EQ(config["remote_port"], "10002");
    EXPECT_EQ(config["record"], "A");
    EXPECT_EQ(run.session["load_complete"], true);
    EXPECT_EQ(run.session["reset"], true);
}

TEST(DownloadOverPty, FirmwareV6507PointToMultipointMasterSide) {
    SetupValues master;
    master.ip = {192, 168, 7, 20};
    master.mask = {255, 255, 255, 0};
    master.flowIndex = 3;
    ApplyOperatingMode(master, OperatingMode::TunnelPointToMultipoint, true);

    const RealRun run = DownloadAgainstSim("V6.5.0.7", master);
    EXPECT_EQ(run.outcome, DownloadOutcome::Complete);
    ASSERT_TRUE(run.session.is_object());
    const auto& config = run.session["config"];
    EXPECT_EQ(run.session["end"], "complete");
    EXPECT_EQ(run.session["anomalies"].size(), 0u) << run.session["anomalies"].dump();
    EXPECT_EQ(run.session["service_answers"], "YNNNYYYNN");
    EXPECT_EQ(config["ip"], "192.168.7.20");
    EXPECT_EQ(config["use_gateway"], false);
    EXPECT_EQ(config["host_bits"], 8);
    EXPECT_EQ(config["line_code"], "4C");
    EXPECT_EQ(config["flow_code"], "05");
    EXPECT_EQ(config["tunnel"], true);
    EXPECT_EQ(config["broadcast"], true);
    EXPECT_EQ(config["record"], "B");

    // The monitor log's second-to-last line carried the verdict.
    ASSERT_GE(run.log.Count(), 2);
    EXPECT_NE(run.log.Line(run.log.Count() - 2).find("Exit without"), std::string::npos);
}

} // namespace
} // namespace comsetup::testing
