// Decoding helpers of the stand-in: configuration records, coded settings, and the text
// and JSON reports a test or a technician reads.
#include "download_emulator.h"
#include "sim/converter_settings.h"
#include "sim/fixed_records.h"
#include "sim/intel_hex.h"
#include "sim/session_report.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace comsetup::sim;

namespace {

TEST(IntelHex, FixedRecordsAreSoundAndCoverTheirAddresses) {
    HexRecord r;
    std::string error;
    ASSERT_TRUE(ParseHexRecord(kRecordA, r, error)) << error;
    EXPECT_EQ(r.count, 0x20);
    EXPECT_EQ(r.address, 0x0000);
    EXPECT_EQ(r.type, 0x10);
    ASSERT_EQ(r.data.size(), 32u);
    EXPECT_EQ(r.data[1], 0x06);
    EXPECT_EQ(r.data[3], 0x80);
    ASSERT_TRUE(ParseHexRecord(kRecordB, r, error)) << error;
    EXPECT_EQ(r.data[0], 0x04);
    const int addresses[] = {0x20, 0x40, 0x60, 0x00};
    const int counts[] = {0x20, 0x20, 0x1E, 0x00};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(ParseHexRecord(kFollowingRecords[i], r, error)) << i << ": " << error;
        EXPECT_EQ(r.address, addresses[i]);
        EXPECT_EQ(r.count, counts[i]);
        EXPECT_EQ(r.type, i == 3 ? 0x01 : 0x10);
    }
}

TEST(IntelHex, FaultyRecordsAreRefusedWithTheirCause) {
    HexRecord r;
    std::string error;
    EXPECT_FALSE(ParseHexRecord("00000001FF", r, error));
    EXPECT_NE(error.find("':'"), std::string::npos);
    EXPECT_FALSE(ParseHexRecord(":00000001FE", r, error)); // checksum off by one
    EXPECT_NE(error.find("checksum"), std::string::npos);
    EXPECT_FALSE(ParseHexRecord(":00000001F", r, error));
    EXPECT_FALSE(ParseHexRecord(":02000001FD", r, error)); // count says 2, no data
    EXPECT_NE(error.find("byte count"), std::string::npos);
    EXPECT_FALSE(ParseHexRecord(":0000000GFF", r, error));
    EXPECT_TRUE(ParseHexRecord(":00000001ff", r, error)) << "lower case is hexadecimal too";
}

TEST(Settings, CodedValuesAreReadBack) {
    EXPECT_EQ(DescribeLineCode(0x4C), "8 data bits, no parity, 1 stop bit");
    EXPECT_EQ(DescribeLineCode(0xFC), "8 data bits, even parity, 2 stop bits");
    EXPECT_EQ(DescribeLineCode(0x44), "7 data bits, no parity, 1 stop bit");
    EXPECT_EQ(DescribeLineCode(0xD4), "7 data bits, odd parity, 2 stop bits");
    EXPECT_NE(DescribeLineCode(0x08).find("unknown data bits"), std::string::npos);
    EXPECT_NE(DescribeLineCode(0x2C).find("unknown parity"), std::string::npos);
    EXPECT_NE(DescribeLineCode(0x0C).find("unknown stop bits"), std::string::npos);
    EXPECT_EQ(DescribeFlowCode(0x05), "XON/XOFF pass characters to host");
    EXPECT_EQ(DescribeFlowCode(0x03), "unknown");
    EXPECT_EQ(MaskForHostBits(8), "255.255.255.0");
    EXPECT_EQ(MaskForHostBits(9), "255.255.254.0");
    EXPECT_EQ(MaskForHostBits(0), "255.255.255.255");
    EXPECT_EQ(MaskForHostBits(32), "0.0.0.0");
    EXPECT_EQ(MaskForHostBits(33), "invalid");
    EXPECT_EQ(FormatHex(0x4C), "4C");
    EXPECT_EQ(FormatHex(5), "05");
}

SessionReport CompleteSession(Firmware f, const comsetup::test::DownloadValues& v) {
    ModelOptions o;
    o.firmware = f;
    ConverterModel model(o);
    comsetup::test::DownloadEmulator d(model, 1'000'000);
    d.Run(v, f == Firmware::V01_8 ? comsetup::test::ScriptFirmware::V01_8
                                  : comsetup::test::ScriptFirmware::V6_5_0_7);
    auto sessions = model.TakeFinishedSessions();
    EXPECT_EQ(sessions.size(), 1u);
    return sessions.empty() ? SessionReport{} : sessions[0];
}

TEST(Report, TextNamesEveryDecodedValue) {
    comsetup::test::DownloadValues v;
    v.useGateway = true;
    v.gateway = {192, 168, 1, 1};
    v.flowCode = "05";
    v.tunnel = true;
    v.broadcast = true;
    const std::string text = FormatReport(CompleteSession(Firmware::V6_5_0_7, v));
    for (const char* expected : {
             "download 1: complete\n",
             "  firmware        V6.5.0.7\n",
             "  ip              192.168.1.200\n",
             "  gateway         192.168.1.1\n",
             "  host bits       8 (mask 255.255.255.0)\n",
             "  baud            9600\n",
             "  line code       4C (8 data bits, no parity, 1 stop bit)\n",
             "  flow code       05 (XON/XOFF pass characters to host)\n",
             "  local port      10001\n",
             "  tunnel          on (connect code CC, link code 01)\n",
             "  remote          broadcast answer, port 10001\n",
             "  broadcast       yes\n",
             "  record          B\n",
             "  anomalies       none\n",
             "end of download 1\n",
         })
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "in\n" << text;
}

TEST(Report, TextListsAnomalies) {
    SessionReport r;
    r.number = 3;
    r.anomalies = {"byte 'Q' somewhere", "another"};
    const std::string text = FormatReport(r);
    EXPECT_NE(text.find("  anomalies       2\n    - byte 'Q' somewhere\n    - another\n"),
              std::string::npos)
        << text;
}

TEST(Report, JsonHoldsConfigurationAndEveryByteWithItsTime) {
    comsetup::test::DownloadValues v;
    v.tunnel = true;
    v.remote = {10, 0, 0, 2};
    v.remotePort = 4002;
    const SessionReport r = CompleteSession(Firmware::V01_8, v);
    const auto doc =
        nlohmann::json::parse(ReportsToJson({r, r}, Firmware::V01_8, FailMode::Healthy));
    EXPECT_EQ(doc["firmware"], "01.8");
    ASSERT_EQ(doc["sessions"].size(), 2u);
    const auto& s = doc["sessions"][0];
    EXPECT_EQ(s["end"], "complete");
    EXPECT_EQ(s["config"]["ip"], "192.168.1.200");
    EXPECT_EQ(s["config"]["remote"], "10.0.0.2");
    EXPECT_EQ(s["config"]["remote_port"], "4002");
    EXPECT_EQ(s["config"]["tunnel"], true);
    EXPECT_EQ(s["config"]["record"], "B");
    ASSERT_EQ(s["received"].size(), r.received.size());
    for (std::size_t i = 0; i < r.received.size(); ++i) {
        ASSERT_EQ(s["received"][i]["t_us"], r.received[i].tUs);
        ASSERT_EQ(s["received"][i]["byte"], r.received[i].byte);
    }
    EXPECT_EQ(s["start_us"], 1'000'000);
}

TEST(Report, JsonSurvivesBytesThatAreNotText) {
    SessionReport r;
    r.records = {std::string("\xff\xfe:bad", 6)};
    r.anomalies = {"quote \" and backslash \\"};
    const auto doc = nlohmann::json::parse(ReportsToJson({r}, Firmware::V01_8, FailMode::Garbage));
    EXPECT_EQ(doc["fail"], "garbage");
    EXPECT_EQ(doc["sessions"][0]["anomalies"][0], "quote \" and backslash \\");
}

} // namespace
