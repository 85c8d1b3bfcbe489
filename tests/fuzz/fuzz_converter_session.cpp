// A whole download in virtual time against the converter stand-in's model, with the line
// between them damaged as the input says: answers dropped, bytes changed or added, reads
// failing, line errors, Cancel. Without damage, a healthy converter must end "Setup Complete".
#include "fuzz_input.h"
#include "sim/converter_model.h"
#include "tests/support/download_harness.h"

#include <cerrno>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace comsetup;
    fuzz::FuzzInput input(data, size);
    sim::ModelOptions options;
    options.firmware = input.Flag() ? sim::Firmware::V6_5_0_7 : sim::Firmware::V01_8;
    options.fail =
        input.Pick(4) == 0
            ? static_cast<sim::FailMode>(input.Pick(static_cast<int>(sim::FailMode::Vanish) + 1))
            : sim::FailMode::Healthy;
    sim::ConverterModel model(options);

    SetupValues values;
    values.flowIndex = input.Pick(4);
    values.parityIndex = input.Pick(3);
    values.stopBitsIndex = input.Pick(2);
    values.tunnel = input.Flag();
    values.broadcast = values.tunnel && input.Flag();
    values.useGateway = input.Flag();
    values.ip[3] = input.Byte();

    test::DownloadHarness harness;
    bool damaged = false;
    harness.pacer.SetListener([&](std::chrono::nanoseconds now) {
        const std::int64_t nowUs = now.count() / 1000;
        model.Advance(nowUs);
        model.Receive(harness.line->TakeWritten(), nowUs);
        std::string answer = model.TakeOutput();
        const int choice = input.Empty() ? 255 : input.Byte();
        if (choice < 200 && choice % 8 < 6) {
            damaged = true;
            switch (choice % 8) {
            case 0:
                answer.clear();
                break;
            case 1:
                if (!answer.empty()) {
                    answer[input.Byte() % answer.size()] ^= static_cast<char>(1 + input.Pick(255));
                }
                break;
            case 2:
                answer += input.Text(64);
                break;
            case 3:
                harness.line->FailRead(input.Flag() ? EIO : 0);
                break;
            case 4:
                harness.line->AddLineErrors(input.Byte());
                break;
            default:
                harness.cancel = true;
                break;
            }
        }
        if (!model.Vanished()) {
            harness.line->PushReceived(answer);
        } else {
            harness.line->Vanish();
        }
    });
    DownloadOutcome outcome = DownloadOutcome::ErrorOnSetup;
    try {
        outcome = harness.Run(values);
    } catch (const ECommError&) {
        FUZZ_CHECK(damaged || options.fail != sim::FailMode::Healthy);
        return 0;
    }
    if (!damaged && options.fail == sim::FailMode::Healthy) {
        FUZZ_CHECK(outcome == DownloadOutcome::Complete);
    }
    return 0;
}
