// The program's answers on the command line before any window: --help and --version; every
// other argument starts the program and is left to Qt.
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, AnswersBeforeAnyWindow) {
    const std::string version = std::string("comsetup ") + COMSETUP_VERSION + "\n";
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> out; // empty: the program starts
    };
    const Case cases[] = {
        {{}, std::nullopt},
        {{"-platform", "offscreen"}, std::nullopt},
        {{"--style", "fusion", "--unknown"}, std::nullopt},
        {{"--version"}, version},
        {{"-platform", "offscreen", "--version"}, version},
        {{"--version", "--help"}, version}, // the first one asked
        {{"--help"}, "usage: comsetup"},
        {{"-h", "--version"}, "usage: comsetup"},
    };
    for (const Case& c : cases) {
        const std::string joined = c.args.empty() ? "(none)" : c.args.back();
        const auto answer = comsetup::AnswerWithoutWindow(c.args);
        ASSERT_EQ(answer.has_value(), c.out.has_value()) << joined;
        if (!answer) {
            continue;
        }
        EXPECT_EQ(answer->exitCode, 0) << joined;
        EXPECT_EQ(answer->out.rfind(*c.out, 0), 0u) << joined << "\n" << answer->out;
    }
    const auto help = comsetup::AnswerWithoutWindow({"--help"});
    ASSERT_TRUE(help);
#ifdef _WIN32
    const auto texts = {"--version", "COM12", "list-ports", "comsetup-cli"};
#else
    const auto texts = {"--version", "COMSETUP_COM", "dialout", "comsetup-cli"};
#endif
    for (const char* text : texts) {
        EXPECT_NE(help->out.find(text), std::string::npos) << text;
    }
}

} // namespace
