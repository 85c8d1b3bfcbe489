// Firmware recognition from the start-up banner.
#include "download/banner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace comsetup {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

FirmwareVariant Recognise(const std::string& s) {
    return RecogniseFirmware(Bytes(s));
}
std::string Version(const std::string& s) {
    return ExtractFirmwareVersion(Bytes(s));
}

TEST(BannerRecognition, TheTwoFirmwaresInATypicalBanner) {
    EXPECT_EQ(Recognise("*** Serial server ***\r\nSoftware version 01.8 (c) \r\nPress key\r\n"),
              FirmwareVariant::V01_8);
    EXPECT_EQ(Recognise("\r\nSOFTWARE VERSION V6.5.0.7 build 12\r\n"), FirmwareVariant::V6_5_0_7);
    EXPECT_EQ(Recognise("software version v6.5.0.7 ok"), FirmwareVariant::V6_5_0_7);
    EXPECT_EQ(Recognise("SOFTWARE VERSION      01.8      rest"), FirmwareVariant::V01_8);
}

TEST(BannerRecognition, VersionNeedsABlankAfterItWithinTheText) {
    // Line ends are dropped before the cut, so the next line runs into the version.
    EXPECT_EQ(Version("SOFTWARE VERSION 01.8\r\nMENU 1"), "01.8MENU");
    EXPECT_EQ(Recognise("SOFTWARE VERSION 01.8\r\nMENU 1"), FirmwareVariant::Unknown);
    // Trailing blanks are trimmed before the cut, so a blank at the very end does not count.
    EXPECT_EQ(Version("SOFTWARE VERSION 01.8 \r\n"), "");
    // At the very end with no blank after it: empty version.
    EXPECT_EQ(Version("SOFTWARE VERSION 01.8"), "");
    EXPECT_EQ(Version("SOFTWARE VERSION 01.8   "), ""); // trailing blanks are trimmed first
    EXPECT_EQ(Recognise("SOFTWARE VERSION 01.8\r\n"), FirmwareVariant::Unknown);
    EXPECT_EQ(Recognise("SOFTWARE VERSION \r\n01.8 menu"), FirmwareVariant::V01_8);
}

TEST(BannerRecognition, ControlBytesDroppedHighBytesKept) {
    EXPECT_EQ(Recognise(std::string("SOFT\x01WARE VER\tSION 01.8\x07 .")), FirmwareVariant::V01_8);
    EXPECT_EQ(Version("SOFTWARE VERSION \xE9"
                      "01.8 x"),
              "\xE9"
              "01.8");
    // Upper-casing touches ASCII letters only.
    EXPECT_EQ(Version("software version v\xE9z x"), "V\xE9Z");
    // Zero bytes are control bytes too (a read can deliver them).
    std::string withNul = "SOFTWARE VERSION 01.8 --";
    withNul.insert(3, 1, '\0');
    EXPECT_EQ(Recognise(withNul), FirmwareVariant::V01_8);
}

TEST(BannerRecognition, FirstKeyDecidesAndSimilarVersionsAreNotTaken) {
    EXPECT_EQ(Recognise("SOFTWARE VERSION 02.0 SOFTWARE VERSION 01.8 "), FirmwareVariant::Unknown);
    EXPECT_EQ(Recognise("SOFTWARE VERSION 01.80 "), FirmwareVariant::Unknown);
    EXPECT_EQ(Recognise("SOFTWARE VERSION V6.5.0.7X "), FirmwareVariant::Unknown);
    EXPECT_EQ(Recognise("SOFTWARE VERSION:01.8 "), FirmwareVariant::Unknown);
}

TEST(BannerRecognition, WithoutTheKeyTheTextIsCutFromItsSixteenthCharacter) {
    // 15 characters are skipped; what follows is taken as if it came after the key.
    EXPECT_EQ(Version("abcdefghijklmno01.8 rest"), "01.8");
    EXPECT_EQ(Recognise("abcdefghijklmno01.8 rest"), FirmwareVariant::V01_8);
    EXPECT_EQ(Version("short text"), "");
    EXPECT_EQ(Recognise(""), FirmwareVariant::Unknown);
    EXPECT_EQ(Recognise("Hello converter, firmware 01.8 here"), FirmwareVariant::Unknown);
}

} // namespace
} // namespace comsetup
