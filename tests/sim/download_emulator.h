// A downloading program as the converter stand-in's tests need it: it sends the exact byte
// sequence of a setup download with its pauses, in virtual time, against a ConverterModel,
// copies the converter's answers into a log at the echo points (CR dropped, LF ends a line,
// an unfinished line discarded) and gives the verdict from the log's second-to-last line.
// Written independently of download/ so that the stand-in is checked against the rules of
// the line itself, not against one implementation of them.
#pragma once

#include "sim/converter_model.h"

#include <array>
#include <string>
#include <vector>

namespace comsetup::test {

struct DownloadValues {
    std::array<int, 4> ip{192, 168, 1, 200};
    std::string hostBits = "8";
    bool useGateway = false;
    std::array<int, 4> gateway{0, 0, 0, 0};
    std::string baud = "9600";
    std::string lineCode = "4C";
    std::string flowCode = "00";
    std::string localPort = "10001";
    bool tunnel = false;
    std::array<int, 4> remote{0, 0, 0, 0};
    int remotePort = 10001;
    bool broadcast = false;
};

enum class ScriptFirmware { V01_8, V6_5_0_7 };

struct DownloadResult {
    bool bannerRead = false;
    std::string banner;
    std::string version; // cut from the banner as a downloading program does
    bool restartAnswered = false;
    std::vector<std::string> log;
    bool verdictComplete = false; // "Exit without" in the log's second-to-last line
    int xSent = 0;
    int zSent = 0;
};

class DownloadEmulator {
public:
    explicit DownloadEmulator(comsetup::sim::ConverterModel& model, std::int64_t startUs = 0)
        : model_(model), nowUs_(startUs) {}

    // A whole download. `script` selects which menu script is sent after the banner (it
    // may differ from what the converter runs, to test mismatches); `cancelAfterBanner`
    // skips the restart wait.
    DownloadResult Run(const DownloadValues& v, ScriptFirmware script,
                       bool cancelAfterBanner = false);

    void Wait(int ms);
    void Send(char b);
    void Type(const std::string& text);
    void Echo();
    std::int64_t NowUs() const { return nowUs_; }
    const std::string& Unread() const { return rx_; }

private:
    void Address(const std::array<int, 4>& a, const int (&pauses)[4][2]);
    void Script(const DownloadValues& v, ScriptFirmware fw, bool cancelled);

    comsetup::sim::ConverterModel& model_;
    std::int64_t nowUs_;
    std::string rx_;
    DownloadResult result_;
};

// The version as a downloading program cuts it from a banner: control bytes dropped, ASCII
// upper-cased, the text after "SOFTWARE VERSION" trimmed and cut after its first blank.
std::string CutVersion(const std::string& banner);

} // namespace comsetup::test
