// Banner text normalisation and firmware version cut.
#include "download/banner.h"

#include <string_view>

namespace comsetup {

namespace {

constexpr std::string_view kVersionKey = "SOFTWARE VERSION";

std::string TrimBlanks(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && text[first] == ' ') {
        ++first;
    }
    while (last > first && text[last - 1] == ' ') {
        --last;
    }
    return std::string(text.substr(first, last - first));
}

std::string NormalisedText(std::span<const std::uint8_t> banner) {
    std::string text;
    text.reserve(banner.size());
    for (std::uint8_t byte : banner) {
        if (byte < 32) {
            continue; // every control byte, line ends included
        }
        char c = static_cast<char>(byte);
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        text.push_back(c);
    }
    return text;
}

} // namespace

bool NamesVersionKey(std::span<const std::uint8_t> banner) {
    return NormalisedText(banner).find(kVersionKey) != std::string::npos;
}

std::string ExtractFirmwareVersion(std::span<const std::uint8_t> banner) {
    const std::string text = NormalisedText(banner);

    // Without the key, the text is taken from its 16th character on, as if the key had been
    // found just before the start.
    const std::size_t found = text.find(kVersionKey);
    const std::size_t restStart =
        found == std::string::npos ? kVersionKey.size() - 1 : found + kVersionKey.size();
    const std::string rest =
        restStart < text.size() ? TrimBlanks(std::string_view(text).substr(restStart)) : "";

    const std::size_t blank = rest.find(' ');
    if (blank == std::string::npos) {
        return ""; // a version at the very end, with no blank after it, is not taken
    }
    return TrimBlanks(std::string_view(rest).substr(0, blank + 1));
}

FirmwareVariant RecogniseFirmware(std::span<const std::uint8_t> banner) {
    const std::string version = ExtractFirmwareVersion(banner);
    if (version == "01.8") {
        return FirmwareVariant::V01_8;
    }
    if (version == "V6.5.0.7") {
        return FirmwareVariant::V6_5_0_7;
    }
    return FirmwareVariant::Unknown;
}

const char* FirmwareName(FirmwareVariant variant) {
    switch (variant) {
    case FirmwareVariant::V01_8:
        return "01.8";
    case FirmwareVariant::V6_5_0_7:
        return "V6.5.0.7";
    case FirmwareVariant::Unknown:
        break;
    }
    return "unknown";
}

} // namespace comsetup
