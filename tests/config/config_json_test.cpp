// The JSON files of a setup (comsetup-cli's --config, --save-config and batch files, the
// wizard's "Open..." and "Save..."): saved values load back, and bad or hostile files are
// refused naming the file, the key and the cause in a short line.
#include "config/config_json.h"
#include "config_errors.h"
#include "tests/support/files.h"

#include "download/setup_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace comsetup;
using namespace comsetup::config;
using comsetup::test::LoadError;
using comsetup::test::TempFolder;

TEST(ConfigJson, SavedFileLoadsBackToTheSameValues) {
    TempFolder dir;
    SetupProfile setup;
    setup.port = "/dev/ttyUSB1";
    setup.mode = Mode::PointToMultipoint;
    setup.master = true;
    setup.ip = Ipv4{172, 16, 0, 9};
    setup.mask = Ipv4{255, 255, 240, 0};
    setup.localPort = 502;
    setup.gateway = Ipv4{172, 16, 0, 1};
    setup.baud = 300;
    setup.parityIndex = 2;
    setup.stopBitsIndex = 1;
    setup.flowIndex = 3;
    setup.peer = Ipv4{172, 16, 0, 10};
    const std::string path = dir.File("saved.json");
    SaveSetupFile(path, setup);
    SetupProfile loaded;
    LoadSetupFile(path, loaded);
    EXPECT_EQ(loaded, setup);

    setup.gateway.reset(); // no gateway is written as null and read back as none
    SaveSetupFile(path, setup);
    loaded = SetupProfile{};
    loaded.gateway = Ipv4{1, 2, 3, 4};
    LoadSetupFile(path, loaded);
    EXPECT_EQ(loaded, setup);

    EXPECT_THROW(SaveSetupFile(dir.File("no/such/dir/x.json"), setup), ValueError);
}

TEST(ConfigJson, BadFilesAreRefusedNamingTheFileAndTheKey) {
    TempFolder dir;
    struct Case {
        std::string content;
        std::string mustContain;
    };
    const std::vector<Case> cases{
        {R"({"baudrate": 9600})", "unknown key \"baudrate\""},
        {R"({"baud": 9600000})", "\"baud\""},
        {R"({"baud": 9600.5})", "\"baud\" must be a text or a whole number"},
        {R"({"ip": [192,168,1,1]})", "\"ip\" must be"},
        {R"({"master": "yes"})", "\"master\" must be true or false"},
        {R"({"mask": "255.255.255.1"})", std::string(kSubnetMaskMessage)},
        {R"({"parity": "mark"})", "none, odd, even"},
        {R"({"port": null})", "\"port\" must be"},
        {R"([1, 2])", "expected a JSON object"},
        {R"({"ip": "10.0.0.1",)", "not valid JSON"},
        {R"({"baud": 9600, "baud": 19200})", "the key \"baud\" is given twice"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Write("bad.json", c.content);
        const std::string message = LoadError(path);
        EXPECT_NE(message.find(c.mustContain), std::string::npos) << c.content << "\n" << message;
        EXPECT_NE(message.find(path), std::string::npos) << message;
    }
    // A key of the right kind but null clears only the gateway.
    const std::string path = dir.Write("gw.json", R"({"gateway": null})");
    EXPECT_EQ(LoadError(path), "");
}

// Files made to hurt: each is refused with exit-code-2 class errors (ValueError) naming the
// file, the cause and the key where one is known, and no message echoes more than a short
// prefix of any value.
TEST(ConfigJson, HostileFilesAreRefusedWithShortMessages) {
    TempFolder dir;
    const std::string deep = std::string(70000, '[') + std::string(70000, ']');
    const std::string longPort(2000, 'p');
    struct Case {
        std::string content;
        std::string mustContain;
    };
    const std::vector<Case> cases{
        {R"({"ip": )" + deep + "}", "nested more than 8 levels deep"},
        {R"({"a": {"b": [[[[[[[[1]]]]]]]]}})", "flat object (at \"b\")"},
        {R"({"baud": 1e999})", "\"baud\": \"1e999\" is out of range"},
        {std::string(R"({"baud": 19200})") + '\0' + " NOT JSON {{",
         "holds a NUL byte at offset 15"},
        {R"({"mask": -1e999})", "\"mask\": \"-1e999\" is out of range"},
        {R"({"local_port": 18446744073709551615})", "\"18446744073709551615\" is not accepted"},
        {R"({"local_port": -9223372036854775808})", "\"-9223372036854775808\" is not accepted"},
        {R"({"local_port": 18446744073709551616})", "\"18446744073709551616\" is not accepted"},
        {R"({"ip": [1, -100000000000000000000000, 3, 4]})", "-100000000000000000000000"},
        {R"({"baud": 1e300})", "\"baud\" must be a text or a whole number"},
        {R"({"port": ")" + std::string(2 * kMaxConfigFileBytes, 'x') + "\"}", "larger than"},
        {R"({"port": ")" + longPort + "\"}", "(2000 characters) is longer than 255"},
        {R"({"port": "/dev/ttyS0\u0000x"})", "\"/dev/ttyS0\\x00x\" holds a control character"},
        {R"({"port": "COM1\nDownload complete"})", "\"COM1\\nDownload complete\" holds a"},
        {R"({"ip": ")" + longPort + "\"}", "\"ip\": \"pppp"},
        {R"({")" + longPort + R"(": 1})", "unknown key \"pppp"},
        {R"({"ip": [")" + longPort + "\"]}", "\"ip\" must be"},
        {"{\"port\": \"\xff\"}", "not valid JSON"},
        {R"({"ip": "10.0.0.1",)", "not valid JSON (parse error at line 1, column 19"},
        {R"({"port": ")" + longPort + "\n\"}", "last read: \"\"pppp"},
        // The bad token itself holds the library's "'; expected " and control characters.
        {R"([{"p'; expected >>p(")" + std::string(200, '\t') + " g}]", "last read: \"\"p'; expect"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Write("hostile.json", c.content);
        const std::string message = LoadError(path);
        EXPECT_NE(message.find(c.mustContain), std::string::npos) << c.content.substr(0, 80) << "\n"
                                                                  << message;
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_LT(message.size(), path.size() + 300) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_TRUE(std::none_of(message.begin(), message.end(), [](char ch) {
            return static_cast<unsigned char>(ch) < 0x20;
        })) << message;
    }
    // A folder is said to be one, and the same limits hold for a batch file.
    EXPECT_NE(LoadError(dir.File("")).find("is a directory"), std::string::npos);
    try {
        LoadBatchFile(dir.Write("b.json", R"([{"port": "/dev/a", "baud": 1e999}])"));
        ADD_FAILURE() << "a batch with 1e999 was accepted";
    } catch (const ValueError& error) {
        EXPECT_NE(std::string(error.what()).find("\"baud\": \"1e999\" is out of range"),
                  std::string::npos)
            << error.what();
    }
}

TEST(ConfigJson, BatchFileNeedsDistinctPortsInEveryEntry) {
    TempFolder dir;
    const auto good = LoadBatchFile(dir.Write("b.json", R"([{"port": "/dev/a", "ip": "10.0.0.2"},
                      {"port": "/dev/b", "mode": "point-to-point", "peer": "10.0.0.2"}])"));
    ASSERT_EQ(good.size(), 2u);
    EXPECT_EQ(good[0].ip, (Ipv4{10, 0, 0, 2}));
    EXPECT_EQ(good[1].mode, Mode::PointToPoint);
    EXPECT_EQ(good[1].ip, (Ipv4{192, 168, 1, 200})); // each entry starts from the defaults
    EXPECT_EQ(LoadBatchFile(dir.Write("o.json", R"({"downloads": [{"port": "/dev/a"}]})")).size(),
              1u);
    struct Case {
        std::string content;
        std::string mustContain;
    };
    const std::vector<Case> cases{
        {R"([{"port": "/dev/a"}, {"ip": "10.0.0.3"}])", "download 2: \"port\" is required"},
        {R"([{"port": "/dev/a"}, {"port": "/dev/a"}])", "already used by download 1"},
        {R"([])", "non-empty JSON array"},
        {R"({"port": "/dev/a"})", "non-empty JSON array"},
        {R"([{"port": "/dev/a", "master": true}])", "download 1: master"},
        {R"([{"port": "/dev/a"}, {"port": "/dev/b", "flow": "rts"}])", "download 2: \"flow\""},
    };
    for (const auto& c : cases) {
        try {
            LoadBatchFile(dir.Write("bad.json", c.content));
            ADD_FAILURE() << "accepted: " << c.content;
        } catch (const ValueError& error) {
            EXPECT_NE(std::string(error.what()).find(c.mustContain), std::string::npos)
                << c.content << "\n"
                << error.what();
        }
    }
}
