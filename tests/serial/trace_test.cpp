// The field trace: bytes are shown so that control characters stay readable.
#include "serial/trace.h"

#include <gtest/gtest.h>

namespace {

TEST(SerialTrace, ControlBytesAndTheEscapeCharacterAreShownInHex) {
    testing::internal::CaptureStderr();
    comsetup::SerialTraceBytes("/dev/ttyS0", "write", "7\n<\x01", 4);
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("/dev/ttyS0: write 4: 7<0A><3C><01>\n"), std::string::npos) << out;
    EXPECT_EQ(out.rfind("[serial ", 0), 0u) << out;
}

} // namespace
