#include "sim/session_report.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace comsetup::sim {
namespace {

std::string RecordName(char r) {
    if (r == 0)
        return "none";
    return std::string(1, r);
}

std::string Line(const char* name, const std::string& value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "  %-16s", name);
    return buf + value + "\n";
}

std::string YesNo(bool v) {
    return v ? "yes" : "no";
}

std::string RemoteText(const SessionReport& r) {
    const ConverterSettings& s = r.settings;
    if (!s.Tunnel())
        return "-";
    if (r.firmware == Firmware::V6_5_0_7 && s.broadcast)
        return "broadcast answer, port " + s.remotePort;
    return FormatAddress(s.remote) + ":" + s.remotePort;
}

} // namespace

std::string FormatReport(const SessionReport& r) {
    const ConverterSettings& s = r.settings;
    const std::string n = std::to_string(r.number);
    std::string text = "download " + n + ": " + SessionEndName(r.end) + "\n";
    text += Line("firmware",
                 FirmwareName(r.firmware) +
                     (r.fail == FailMode::Healthy ? "" : " (fail " + FailModeName(r.fail) + ")"));
    text += Line("stage", StageName(r.stage));
    text += Line("saved", YesNo(r.saved));
    text += Line("ip", FormatAddress(s.ip));
    text += Line("gateway", s.useGateway ? FormatAddress(s.gateway) : std::string("none"));
    text += Line("host bits",
                 std::to_string(s.hostBits) + " (mask " + MaskForHostBits(s.hostBits) + ")");
    text += Line("baud", s.baud);
    text += Line("line code", FormatHex(s.lineCode) + " (" + DescribeLineCode(s.lineCode) + ")");
    text += Line("flow code", FormatHex(s.flowCode) + " (" + DescribeFlowCode(s.flowCode) + ")");
    text += Line("local port", s.localPort);
    text += Line("tunnel", s.Tunnel() ? "on (connect code " + FormatHex(s.connectCode) +
                                            ", link code " + FormatHex(s.linkCode) + ")"
                                      : "off (connect code " + FormatHex(s.connectCode) + ")");
    text += Line("remote", RemoteText(r));
    text += Line("broadcast", r.firmware == Firmware::V6_5_0_7 && s.Tunnel() ? YesNo(s.broadcast)
                                                                             : std::string("-"));
    text += Line("services", r.serviceAnswers.empty() ? "-" : r.serviceAnswers);
    text += Line("record", RecordName(r.firstRecord));
    text += Line("records loaded",
                 YesNo(r.loadComplete) + " (" + std::to_string(r.records.size()) + " received)");
    text += Line("polls", "x " + std::to_string(r.xPolls) + ", z " + std::to_string(r.zPolls));
    text += Line("bytes received", std::to_string(r.received.size()));
    if (r.anomalies.empty()) {
        text += Line("anomalies", "none");
    } else {
        text += Line("anomalies", std::to_string(r.anomalies.size()));
        for (const std::string& a : r.anomalies)
            text += "    - " + a + "\n";
    }
    text += "end of download " + n + "\n";
    return text;
}

std::string ReportsToJson(const std::vector<SessionReport>& sessions, Firmware firmware,
                          FailMode fail) {
    using nlohmann::json;
    json doc;
    doc["firmware"] = FirmwareName(firmware);
    doc["fail"] = FailModeName(fail);
    doc["sessions"] = json::array();
    for (const SessionReport& r : sessions) {
        const ConverterSettings& s = r.settings;
        json config = {
            {"ip", FormatAddress(s.ip)},
            {"use_gateway", s.useGateway},
            {"gateway", FormatAddress(s.gateway)},
            {"host_bits", s.hostBits},
            {"mask", MaskForHostBits(s.hostBits)},
            {"baud", s.baud},
            {"line_code", FormatHex(s.lineCode)},
            {"line", DescribeLineCode(s.lineCode)},
            {"flow_code", FormatHex(s.flowCode)},
            {"flow", DescribeFlowCode(s.flowCode)},
            {"local_port", s.localPort},
            {"tunnel", s.Tunnel()},
            {"connect_code", FormatHex(s.connectCode)},
            {"link_code", FormatHex(s.linkCode)},
            {"broadcast", s.broadcast},
            {"remote", FormatAddress(s.remote)},
            {"remote_port", s.remotePort},
            {"record", RecordName(r.firstRecord)},
        };
        json received = json::array();
        for (const ReceivedByte& b : r.received)
            received.push_back({{"t_us", b.tUs}, {"byte", b.byte}});
        doc["sessions"].push_back({
            {"number", r.number},
            {"end", SessionEndName(r.end)},
            {"stage", StageName(r.stage)},
            {"start_us", r.startUs},
            {"end_us", r.endUs},
            {"saved", r.saved},
            {"defaults_loaded", r.defaultsLoaded},
            {"config", config},
            {"service_answers", r.serviceAnswers},
            {"x_polls", r.xPolls},
            {"z_polls", r.zPolls},
            {"page_selected", r.pageSelected},
            {"load_started", r.loadStarted},
            {"load_complete", r.loadComplete},
            {"reset", r.reset},
            {"records", r.records},
            {"anomalies", r.anomalies},
            {"received", received},
        });
    }
    // Replace invalid UTF-8 (a record or anomaly may quote any byte) instead of throwing.
    return doc.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

} // namespace comsetup::sim
