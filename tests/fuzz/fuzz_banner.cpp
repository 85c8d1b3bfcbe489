// Banner recognition on any bytes a converter (or the line noise before it) may send.
#include "download/banner.h"
#include "fuzz_input.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace comsetup;
    const std::span<const std::uint8_t> banner(data, size);
    const std::string version = ExtractFirmwareVersion(banner);
    // The version is cut from the cleaned text: no control bytes, no lower-case letters, no
    // blanks, never longer than the banner.
    FUZZ_CHECK(version.size() <= size);
    for (const char c : version) {
        FUZZ_CHECK(static_cast<unsigned char>(c) >= 32 && c != ' ' && !(c >= 'a' && c <= 'z'));
    }
    const FirmwareVariant variant = RecogniseFirmware(banner);
    FUZZ_CHECK(variant == FirmwareVariant::Unknown || version == FirmwareName(variant));
    return 0;
}
