// comsetup-sim as a process on a real pseudo-terminal: its first output line, a download
// through the line, its report and JSON file, the symlink, signals and the vanishing line.
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using comsetup::test::SimProcess;

// The downloading end of the line: raw mode, plain reads and writes.
class LineEnd {
public:
    explicit LineEnd(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~LineEnd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }
    void Send(const std::string& bytes) {
        for (char c : bytes) {
            ASSERT_EQ(::write(fd_, &c, 1), 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // Whatever arrives within `ms`; sets `gone` if the line reports a hang-up or error.
    std::string Read(int ms, bool* gone = nullptr) {
        std::string got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            const int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count());
            if (::poll(&p, 1, std::max(left, 0)) <= 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0) {
                got.append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                if (gone)
                    *gone = true;
                return got;
            }
        }
        return got;
    }

private:
    int fd_ = -1;
};

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "comsetup_sim_" + std::to_string(::getpid()) + "_" + name;
}

// A complete download with short pauses: the stand-in decodes keystrokes, not their timing.
std::string RunDownload(LineEnd& line, bool v6) {
    std::string seen;
    for (int i = 0; i < 40 && seen.size() < 15; ++i) {
        line.Send("x");
        seen += line.Read(100);
    }
    line.Send("\n\r");
    line.Send("7\n");
    line.Send("0\n");
    line.Send("010\n000\n000\n005\nY172\n016\n000\n001\n12\nN");
    line.Send("6\n");
    line.Send(v6 ? "YNNNYYYNN" : "YNNNYYNN");
    line.Send("1\n38400\n7C\n01\n4001\n");
    line.Send(v6 ? "CC\n01\nN" : "CC\n01\n");
    line.Send("010\n000\n000\n006\n4002\n\n\n\n");
    seen += line.Read(50);
    line.Send("9\n");
    seen += line.Read(100);
    std::string answer;
    for (int i = 0; i < 50 && answer.empty(); ++i) {
        line.Send("z");
        answer = line.Read(100);
    }
    seen += answer;
    line.Send("G7\nS7\n");
    line.Send(":2000001004060800000000800080008000000000000000000000000000000000000000003E\n");
    line.Send(":200020100000000000000000000000000000000000000000000000000000000000000000B0\n");
    line.Send(":20004010000000000000000000000000000000000000000000000000000000000000000090\n");
    line.Send(":1E00601000000000000000000000000000000000000000000000000000000000000072\n");
    line.Send(":00000001FF\nRS\n");
    return seen;
}

std::string Value(const std::vector<std::string>& report, const std::string& name) {
    for (const auto& l : report)
        if (l.rfind("  " + name + " ", 0) == 0) {
            const auto v = l.find_first_not_of(' ', name.size() + 2);
            return v == std::string::npos ? "" : l.substr(v);
        }
    return "<missing " + name + ">";
}

class PtyDownload : public ::testing::TestWithParam<bool> {};

TEST_P(PtyDownload, DecodesADownloadThroughTheLineAndWritesTheJson) {
    const bool v6 = GetParam();
    const std::string json = TempPath(v6 ? "v6.json" : "v18.json");
    SimProcess sim({"--firmware", v6 ? "V6.5.0.7" : "01.8", "--off-time", "300", "--restart-time",
                    "100", "--json", json, "--once", "--quiet"});
    const std::string path = sim.NextLine();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    LineEnd line(path);
    ASSERT_TRUE(line.IsOpen());

    const std::string seen = RunDownload(line, v6);
    EXPECT_NE(seen.find(v6 ? "SOFTWARE VERSION V6.5.0.7 " : "SOFTWARE VERSION 01.8 "),
              std::string::npos);
    EXPECT_NE(seen.find("Exit without"), std::string::npos);

    const auto report = sim.LinesUntil("end of download 1");
    ASSERT_EQ(report.front(), "download 1: complete");
    EXPECT_EQ(Value(report, "ip"), "10.0.0.5");
    EXPECT_EQ(Value(report, "gateway"), "172.16.0.1");
    EXPECT_EQ(Value(report, "host bits"), "12 (mask 255.255.240.0)");
    EXPECT_EQ(Value(report, "baud"), "38400");
    EXPECT_EQ(Value(report, "line code"), "7C (8 data bits, even parity, 1 stop bit)");
    EXPECT_EQ(Value(report, "flow code"), "01 (XON/XOFF)");
    EXPECT_EQ(Value(report, "local port"), "4001");
    EXPECT_EQ(Value(report, "tunnel"), "on (connect code CC, link code 01)");
    EXPECT_EQ(Value(report, "remote"), "10.0.0.6:4002");
    EXPECT_EQ(Value(report, "record"), "B");
    EXPECT_EQ(Value(report, "anomalies"), "none");
    EXPECT_EQ(sim.Wait(), 0) << "--once ends the process after the session";

    std::ifstream in(json);
    ASSERT_TRUE(in) << json;
    const auto doc = nlohmann::json::parse(in);
    const auto& s = doc["sessions"].at(0);
    EXPECT_EQ(s["config"]["remote"], "10.0.0.6");
    ASSERT_GT(s["received"].size(), 300u);
    EXPECT_EQ(s["received"][0]["byte"], 'x');
    std::int64_t last = 0;
    for (const auto& b : s["received"]) {
        const std::int64_t t = b["t_us"];
        ASSERT_GE(t, last);
        last = t;
    }
    std::remove(json.c_str());
}

INSTANTIATE_TEST_SUITE_P(Firmware, PtyDownload, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "V6_5_0_7" : "V01_8"; });

TEST(PtyServer, SecondDownloadAfterReopeningFindsAClearLine) {
    // The first download leaves the restarted converter's answers unread, as a downloading
    // program does; closing the port must drop them, or the next download would take them
    // for a banner.
    const comsetup::test::TempFolder folder;
    const std::string json = folder.File("two.json");
    SimProcess sim({"--firmware", "01.8", "--off-time", "300", "--restart-time", "100", "--json",
                    json, "--quiet"});
    const std::string path = sim.NextLine();
    {
        LineEnd line(path);
        RunDownload(line, false);
        EXPECT_EQ(sim.LinesUntil("end of download 1").front(), "download 1: complete");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    LineEnd again(path);
    ASSERT_TRUE(again.IsOpen());
    EXPECT_EQ(again.Read(100), "");
    const std::string seen = RunDownload(again, false);
    EXPECT_NE(seen.find("SOFTWARE VERSION 01.8 "), std::string::npos);
    const auto report = sim.LinesUntil("end of download 2");
    EXPECT_EQ(report.front(), "download 2: complete");
    EXPECT_EQ(Value(report, "anomalies"), "none");
    // The file is complete by the time the report is printed.
    std::ifstream in(json);
    ASSERT_TRUE(in) << json;
    const auto doc = nlohmann::json::parse(in);
    ASSERT_EQ(doc["sessions"].size(), 2u);
    EXPECT_EQ(doc["sessions"][1]["end"], "complete");
    // Each report replaced the last one whole: nothing was left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST(PtyServer, LinkIsCreatedAndRemovedOnSigterm) {
    const std::string link = TempPath("link");
    SimProcess sim({"--firmware", "01.8", "--link", link, "--quiet"});
    const std::string path = sim.NextLine();
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(path, target);
    LineEnd line(link);
    ASSERT_TRUE(line.IsOpen()) << "the link opens the line";
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0) << "link left behind";
}

TEST(PtyServer, InterruptedSessionIsReportedOnSigint) {
    SimProcess sim({"--firmware", "01.8", "--off-time", "0", "--quiet"});
    LineEnd line(sim.NextLine());
    line.Send("x");
    EXPECT_GE(line.Read(300).size(), 15u);
    line.Send("\n7\n0\n192\n");
    line.Read(100);
    sim.Signal(SIGINT);
    const auto report = sim.LinesUntil("end of download 1");
    EXPECT_EQ(report.front(), "download 1: interrupted");
    EXPECT_EQ(Value(report, "saved"), "no");
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(PtyServer, RefusesToReplaceAFileThatIsNotALink) {
    const std::string file = TempPath("plainfile");
    { std::ofstream(file) << "keep me"; }
    SimProcess sim({"--firmware", "01.8", "--link", file, "--quiet"});
    EXPECT_EQ(sim.NextLine(), "<eof>");
    EXPECT_EQ(sim.Wait(), 1);
    std::ifstream in(file);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");
    std::remove(file.c_str());
}

TEST(PtyServer, VanishingLineHangsUpTheOtherEnd) {
    const std::string link = TempPath("vanish");
    SimProcess sim(
        {"--firmware", "01.8", "--off-time", "0", "--fail", "vanish", "--link", link, "--quiet"});
    LineEnd line(sim.NextLine());
    line.Send("x");
    EXPECT_GE(line.Read(300).size(), 15u);
    line.Send("\n7\n0\n192\n168\n001\n200\nN8\n");
    bool gone = false;
    line.Read(2000, &gone);
    EXPECT_TRUE(gone);
    const auto report = sim.LinesUntil("end of download 1");
    EXPECT_EQ(report.front(), "download 1: vanished");
    EXPECT_EQ(sim.Wait(), 0);
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0) << "link left behind";
}

} // namespace
