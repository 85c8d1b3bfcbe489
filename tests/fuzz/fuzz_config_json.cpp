// Configuration and batch files of the command-line tool: any text is parsed under the file
// limits, checked, written back and read again to the same values, and scripted.
#include "cli/profile.h"
#include "download/script.h"
#include "fuzz_input.h"

namespace {

void CheckMessage(const std::string& message) {
    FUZZ_CHECK(message.find('\n') == std::string::npos);
    FUZZ_CHECK(message.size() < 1000);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace comsetup;
    using namespace comsetup::cli;
    const std::string text(reinterpret_cast<const char*>(data), size);
    nlohmann::json document;
    try {
        document = ParseConfigurationText(text, "fuzz.json");
    } catch (const ValueError& error) {
        CheckMessage(error.what());
        return 0;
    }
    SetupProfile setup;
    try {
        ApplyJson(document, setup, "fuzz.json");
        if (CheckConsistency(setup).empty()) {
            // What is saved reads back as the same values.
            const std::string saved = SetupToJson(setup).dump(2);
            SetupProfile loaded;
            ApplyJson(ParseConfigurationText(saved, "saved.json"), loaded, "saved.json");
            FUZZ_CHECK(loaded == setup);
            const SetupValues values = ToSetupValues(setup);
            FUZZ_CHECK(!BuildScript(values, FirmwareVariant::V01_8).empty());
            FUZZ_CHECK(!BuildScript(values, FirmwareVariant::V6_5_0_7).empty());
        }
    } catch (const ValueError& error) {
        CheckMessage(error.what());
    }
    try {
        const auto setups = BatchFromJson(document, "batch.json");
        FUZZ_CHECK(!setups.empty() && setups.size() <= kMaxBatchDownloads);
    } catch (const ValueError& error) {
        CheckMessage(error.what());
    }
    return 0;
}
