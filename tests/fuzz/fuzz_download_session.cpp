// A whole download in virtual time on the in-memory line, with the converter's side played
// by the input: at every pause the next choice says what happens on the line (silence, a
// banner, any bytes, the closing lines, the monitor prompt, failing reads, writes or status
// queries, line errors and events, the device vanishing or coming back, Cancel).
#include "download/script.h"
#include "fuzz_input.h"
#include "tests/support/download_harness.h"

#include <cerrno>

namespace {

using namespace comsetup;

void LineEvent(fuzz::FuzzInput& input, test::DownloadHarness& harness) {
    MemoryLine& line = *harness.line;
    static const int kCodes[] = {0, EIO, EAGAIN, EINTR, ENXIO, EBADF};
    switch (input.Pick(16)) {
    case 0:
        harness.converter.Say(test::BannerFor(static_cast<FirmwareVariant>(input.Pick(3))));
        break;
    case 1:
        harness.converter.Say(input.Text(128));
        break;
    case 2:
        harness.converter.Say(test::kClosingLines);
        break;
    case 3:
        harness.converter.Say("\r\nmonitor> ");
        break;
    case 4:
        line.FailRead(kCodes[input.Pick(6)]);
        break;
    case 5:
        line.FailWrite(kCodes[input.Pick(6)]);
        break;
    case 6:
        line.FailStatus(kCodes[input.Pick(6)]);
        break;
    case 7:
        line.AddLineErrors(input.Byte() | (input.Byte() << 8));
        break;
    case 8:
        line.RaiseEvents(input.Byte() | (input.Byte() << 8));
        break;
    case 9:
        line.Vanish();
        break;
    case 10:
        line.Reappear();
        break;
    case 11:
        harness.cancel = true;
        break;
    default: // silence
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    test::DownloadHarness harness;
    if (input.Pick(8) == 0) {
        harness.line->FailOpen(EACCES);
    }
    SetupValues values;
    values.flowIndex = input.Pick(4);
    values.parityIndex = input.Pick(3);
    values.tunnel = input.Flag();
    values.useGateway = input.Flag();
    harness.pacer.SetListener([&](std::chrono::nanoseconds) {
        harness.Flush();
        if (!input.Empty()) {
            LineEvent(input, harness);
        }
    });
    try {
        const DownloadOutcome outcome = harness.Run(values);
        FUZZ_CHECK(outcome >= DownloadOutcome::Complete &&
                   outcome <= DownloadOutcome::FirmwareUnknown);
    } catch (const ECommError&) {
        // A serial error during the script: reported by the caller, the port is closed.
        FUZZ_CHECK(!harness.comm.Enabled());
    }
    // The echo keeps the monitor log bounded whatever the converter floods it with.
    FUZZ_CHECK(harness.monitor.Count() <= 5001 * 64);
    return 0;
}
