// Dry run: the listed bytes and pauses are those of the known sequences of both firmware
// variants, and the total is the sum of the pauses.
#include "cli/command_runner.h"
#include "cli/dry_run.h"
#include "cli/profile.h"

#include "download/script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace comsetup;
using namespace comsetup::cli;

namespace {

// The bytes of the "send" and "type" lines of a listing, in order.
std::string ListedBytes(const std::string& listing) {
    std::istringstream lines(listing);
    std::string line;
    std::string bytes;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string time;
        std::string verb;
        words >> time >> verb;
        const bool timed = !time.empty() && std::all_of(time.begin(), time.end(), ::isdigit);
        if (!timed || (verb != "send" && verb != "type")) {
            continue;
        }
        std::string word;
        while (words >> word && word.size() == 2 && std::isxdigit(word[0]) &&
               std::isxdigit(word[1])) {
            bytes += static_cast<char>(std::stoi(word, nullptr, 16));
        }
    }
    return bytes;
}

std::vector<int> ListedWaits(const std::string& listing) {
    std::istringstream lines(listing);
    std::string line;
    std::vector<int> waits;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string time;
        std::string verb;
        int ms = 0;
        if (words >> time >> verb && verb == "wait" && words >> ms) {
            waits.push_back(ms);
        }
    }
    return waits;
}

const std::string kRecords = std::string(kRecordB) + "\n" + std::string(kRecord2) + "\n" +
                             std::string(kRecord3) + "\n" + std::string(kRecord4) + "\n" +
                             std::string(kRecordEnd) + "\n";

} // namespace

TEST(DryRun, DefaultsOnFirmware018ListTheKnownBytes) {
    const std::string listing =
        DryRunListing(ToSetupValues(SetupProfile{}), FirmwareVariant::V01_8);
    const std::string expected = std::string("\n\r") + "7\n0\n" + "192\n168\n001\n200\n" + "N" +
                                 "8\n" + "N" + "6\n" + "YNNNYYNN" + "1\n" + "9600\n" + "4C\n" +
                                 "00\n" + "10001\n" + std::string(12, '\n') + "9\n" + "S7\n" +
                                 kRecords + "RS\n";
    EXPECT_EQ(ListedBytes(listing), expected) << listing;
    // The pauses of the opening and of the converter's address (100/200, 3/3+200, 3/200, 3/150).
    const std::vector<int> waits = ListedWaits(listing);
    const std::vector<int> head{7000, 200, 100, 100, 200, 3, 3, 3, 200, 3, 3, 200, 3, 3, 150};
    ASSERT_GE(waits.size(), head.size());
    EXPECT_EQ(std::vector<int>(waits.begin(), waits.begin() + head.size()), head);
    // 7000 after the banner, 18236 for the script with the restart wait planned at 3540 ms.
    EXPECT_NE(listing.find("Total: 25236 ms"), std::string::npos) << listing;
    EXPECT_NE(listing.find("restart wait"), std::string::npos);
}

TEST(DryRun, Firmware6507WithTunnelAndMasterSkipsTheRemoteAddress) {
    SetupProfile setup;
    setup.mode = Mode::PointToMultipoint;
    setup.master = true;
    setup.ip = Ipv4{10, 0, 0, 5};
    setup.flowIndex = 2; // CTS/RTS: code 02 and record A
    setup.parityIndex = 2;
    setup.stopBitsIndex = 1;
    const std::string bytes =
        ListedBytes(DryRunListing(ToSetupValues(setup), FirmwareVariant::V6_5_0_7));
    const std::string expected = std::string("\n\r") + "7\n0\n" + "010\n000\n000\n005\n" + "N" +
                                 "8\n" + "N" + "6\n" + "YNNNYYYNN" + "1\n" + "9600\n" + "FC\n" +
                                 "02\n" + "10001\n" + "CC\n01\n" + "Y" + "10001\n" + "\n\n\n" +
                                 "9\n" + "S7\n" + std::string(kRecordA) + "\n" +
                                 kRecords.substr(kRecordB.size() + 1) + "RS\n";
    EXPECT_EQ(bytes, expected);
}

TEST(DryRun, Firmware6507WithoutTunnelEndsTheMenuWithCarriageReturns) {
    const std::string listing =
        DryRunListing(ToSetupValues(SetupProfile{}), FirmwareVariant::V6_5_0_7);
    const std::string bytes = ListedBytes(listing);
    const std::string tail =
        "10001\n" + std::string("\n") + "\r\r\r" + std::string(11, '\n') + "9\n";
    EXPECT_NE(bytes.find(tail), std::string::npos);
    EXPECT_NE(listing.find("firmware V6.5.0.7"), std::string::npos);
}

TEST(DryRun, FirmwareNamesAreExact) {
    EXPECT_EQ(ParseFirmware("01.8"), FirmwareVariant::V01_8);
    EXPECT_EQ(ParseFirmware("V6.5.0.7"), FirmwareVariant::V6_5_0_7);
    EXPECT_EQ(ParseFirmware("v6.5.0.7"), std::nullopt);
    EXPECT_EQ(ParseFirmware("1.8"), std::nullopt);
}

// A rate off the wizard's list is typed as given, with one warning line; a listed one warns
// of nothing.
TEST(DryRun, UnusualBaudRateIsTypedAsGivenWithAWarning) {
    for (const auto& [baud, warned] : {std::pair{"14400", true}, std::pair{"19200", false}}) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunCommandLine({"dry-run", "--firmware", "01.8", "--baud", baud}, out, err, {}),
                  0);
        const std::string warning =
            "comsetup-cli: warning: baud " + std::string(baud) + " is not one of the usual rates";
        EXPECT_EQ(err.str().starts_with(warning), warned) << err.str();
        EXPECT_NE(ListedBytes(out.str()).find(std::string(baud) + "\n"), std::string::npos)
            << out.str();
    }
}
