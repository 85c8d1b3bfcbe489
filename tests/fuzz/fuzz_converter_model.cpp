// The converter stand-in's model on any bytes at any times: what a wrong or hostile
// download program could send it. Each chunk of input is a time step and the bytes that
// arrive after it.
#include "fuzz_input.h"
#include "sim/converter_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace comsetup::sim;
    comsetup::fuzz::FuzzInput input(data, size);
    ModelOptions options;
    options.firmware = input.Flag() ? Firmware::V6_5_0_7 : Firmware::V01_8;
    options.fail = static_cast<FailMode>(input.Pick(static_cast<int>(FailMode::Vanish) + 1));
    options.offTimeUs = 1000 * (1 + input.Pick(50));
    options.restartTimeUs = 1000 * (1 + input.Pick(50));
    options.idleTimeUs = 100'000;
    options.floodPeriodUs = 10'000;
    ConverterModel model(options);
    std::int64_t now = 0;
    std::uint64_t taken = 0;
    while (!input.Empty()) {
        now += 1000 * input.Pick(64);
        model.Advance(now);
        model.Receive(input.Text(32), now);
        taken += model.TakeOutput().size();
        for (const auto& report : model.TakeFinishedSessions()) {
            FUZZ_CHECK(report.end != SessionEnd::Running);
            FUZZ_CHECK(report.startUs <= report.endUs);
        }
        if (const auto next = model.NextEventUs()) {
            FUZZ_CHECK(*next >= 0);
        }
    }
    (void)model.Interrupt(now);
    taken += model.TakeOutput().size();
    FUZZ_CHECK(taken == model.BytesProduced());
    return 0;
}
