// Whole downloads in virtual time against the converter stand-in's own model (the one
// comsetup-sim serves on a pseudo-terminal), one per firmware, checking the configuration the
// model decoded from what it received. The real-time end-to-end downloads are those of the
// two front ends (tests/app, tests/cli).
#include "download/driver.h"
#include "download/pacer.h"
#include "download/setup_rules.h"
#include "serial/memory_device.h"
#include "sim/converter_model.h"
#include "sim/session_report.h"
#include "tests/support/model_line.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace comsetup::test {
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

struct ModelRun {
    DownloadOutcome outcome;
    std::string label;
    nlohmann::json session;
    StringListLog log;
};

ModelRun DownloadAgainstModel(sim::Firmware firmware, const SetupValues& values) {
    auto line = std::make_shared<MemoryLine>();
    MemoryComm comm(line);
    ModelLine converter(ModelLine::Options(firmware), line);
    VirtualPacer pacer;
    pacer.SetListener([&](std::chrono::nanoseconds now) { converter.Step(now); });
    NullProgress progress;
    CollectMessages messages;
    std::atomic<bool> cancel{false};
    ModelRun run;
    DownloadContext context{comm, progress, run.log, messages, pacer, cancel};
    run.outcome = RunDownload(context, values);
    run.label = progress.label;
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(progress.okVisible);
    EXPECT_FALSE(comm.Enabled());

    const auto sessions =
        converter.FinishedSessions(pacer.Now() + std::chrono::milliseconds(1)); // "RS" too
    EXPECT_EQ(sessions.size(), 1u) << "the model saw no complete session";
    if (!sessions.empty()) {
        run.session = sessions[0];
    }
    return run;
}

TEST(DownloadAgainstModel, Firmware018TunnelPointToPoint) {
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

    const ModelRun run = DownloadAgainstModel(sim::Firmware::V01_8, values);
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

TEST(DownloadAgainstModel, FirmwareV6507PointToMultipointMasterSide) {
    SetupValues master;
    master.ip = {192, 168, 7, 20};
    master.mask = {255, 255, 255, 0};
    master.flowIndex = 3;
    ApplyOperatingMode(master, OperatingMode::TunnelPointToMultipoint, true);

    const ModelRun run = DownloadAgainstModel(sim::Firmware::V6_5_0_7, master);
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
} // namespace comsetup::test
