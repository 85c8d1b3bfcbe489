// The command-line tool's field parsers and setup rules: any text for any field, then the
// consistency check, the mapping the wizard does and the script built from it.
#include "cli/profile.h"
#include "download/script.h"
#include "download/setup_rules.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace comsetup;
    using namespace comsetup::cli;
    fuzz::FuzzInput input(data, size);
    const auto& fields = SetupFields();
    SetupProfile setup;
    setup.master = input.Flag();
    while (!input.Empty()) {
        const SetupField& field = fields[input.Pick(static_cast<int>(fields.size()))];
        const std::string text = input.Text(64);
        try {
            field.apply(setup, text);
        } catch (const ValueError& error) {
            // Refusals quote a short, escaped prefix of the text: no line breaks, bounded.
            const std::string message = error.what();
            FUZZ_CHECK(message.find('\n') == std::string::npos);
            FUZZ_CHECK(message.size() < 600);
            continue;
        }
        // What a field took, it gives back in a form its parser takes to the same value.
        SetupProfile again = setup;
        field.apply(again, FieldText(setup, field));
        FUZZ_CHECK(again == setup);
    }
    if (!CheckConsistency(setup).empty()) {
        return 0;
    }
    const SetupValues values = ToSetupValues(setup);
    FUZZ_CHECK(!CheckSubnetMask(values.mask).has_value());
    for (const auto variant : {FirmwareVariant::V01_8, FirmwareVariant::V6_5_0_7}) {
        const auto script = BuildScript(values, variant);
        FUZZ_CHECK(!script.empty());
        FUZZ_CHECK(PlannedDurationMs(script) > 0);
        FUZZ_CHECK(!SentBytes(script).empty());
    }
    return 0;
}
