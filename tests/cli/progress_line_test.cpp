// The live progress line: always within the width, the bar and percentage follow the
// fraction, the time left is shown when known.
#include "cli/progress_line.h"

#include <gtest/gtest.h>

using namespace comsetup::cli;

TEST(ProgressLine, DurationsReadAsMinutesAndSeconds) {
    EXPECT_EQ(FormatDuration(0), "0:00");
    EXPECT_EQ(FormatDuration(7), "0:07");
    EXPECT_EQ(FormatDuration(65), "1:05");
    EXPECT_EQ(FormatDuration(3723), "1:02:03");
    EXPECT_EQ(FormatDuration(-4), "0:00");
}

TEST(ProgressLine, TwoLineTextsBecomeOneLine) {
    EXPECT_EQ(OneLine("Check the connection with device in progress\n(Turn off and then turn "
                      "on the device)"),
              "Check the connection with device in progress (Turn off and then turn on the "
              "device)");
    EXPECT_EQ(OneLine("a\r\n\nb\n"), "a b");
}

TEST(ProgressLine, BarPercentageAndTimeLeft) {
    ProgressState state{"Setup in progress...", 0.4, 31, false};
    const std::string line = RenderProgressLine(state, 80);
    EXPECT_EQ(line, "Setup in progress...  [########------------]   40%  0:31 left");

    state.fraction = 1.0;
    state.secondsLeft = 0;
    EXPECT_EQ(RenderProgressLine(state, 80),
              "Setup in progress...  [####################]  100%  0:00 left");

    state.fraction = 3.0; // clamped, never more than a full bar
    EXPECT_NE(RenderProgressLine(state, 80).find("100%"), std::string::npos);

    ProgressState waiting{"Check the connection", -1.0, 12, true};
    EXPECT_EQ(RenderProgressLine(waiting, 80), "Check the connection  at most 0:12 left");
}

TEST(ProgressLine, NeverWiderThanTheTerminal) {
    const ProgressState state{
        "Check the connection with device in progress\n(Turn off and then turn on the device)",
        0.123, 3723, true};
    for (int width = 0; width <= 160; ++width) {
        const std::string line = RenderProgressLine(state, width);
        EXPECT_LE(static_cast<int>(line.size()), std::max(width, 20)) << width;
        EXPECT_EQ(line.find('\n'), std::string::npos);
    }
    // Narrow: the bar goes before the phase is cut down to nothing.
    const std::string narrow = RenderProgressLine(state, 45);
    EXPECT_EQ(narrow.find('['), std::string::npos) << narrow;
    EXPECT_EQ(narrow.rfind("Check the", 0), 0u) << narrow;
    const std::string wide = RenderProgressLine(state, 160);
    EXPECT_NE(wide.find("(Turn off and then turn on the device)"), std::string::npos) << wide;
}
