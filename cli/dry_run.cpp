// Dry-run listing of a download's bytes and pauses.
#include "cli/dry_run.h"

#include "download/script.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace comsetup::cli {

namespace {

constexpr int kWakeUpLimitMs = 15000;
constexpr int kPollMs = 500;
constexpr int kBannerPauseMs = 7000;

std::string Hex(const std::string& bytes) {
    std::string out;
    char buffer[4];
    for (unsigned char b : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X", b);
        if (!out.empty())
            out += ' ';
        out += buffer;
    }
    return out;
}

// A byte string as a quoted text with C-style escapes for control bytes.
std::string Printable(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char b : bytes) {
        if (b == kLF) {
            out += "\\n";
        } else if (b == kCR) {
            out += "\\r";
        } else if (b < 0x20 || b >= 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", b);
            out += buffer;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out + "\"";
}

class Listing {
public:
    void Line(const std::string& text) { out_ << Time() << "  " << text << "\n"; }

    // Runs of single bytes with no pause between them go on one line.
    void Steps(const std::vector<ScriptStep>& steps) {
        std::string pending;
        auto flush = [&] {
            if (!pending.empty()) {
                Line("send " + Hex(pending) + "  " + Printable(pending));
                pending.clear();
            }
        };
        for (const auto& step : steps) {
            switch (step.kind) {
            case StepKind::SendByte:
                pending += static_cast<char>(step.byte);
                break;
            case StepKind::TypeText:
                flush();
                Line("type " + Hex(step.text) + "  " + Printable(step.text) + "  (" +
                     std::to_string(kTypePauseMs) + " ms after each character)");
                break;
            case StepKind::Wait:
                flush();
                Line("wait " + std::to_string(step.ms) + " ms");
                break;
            case StepKind::Echo:
                flush();
                Line("echo (copy what has arrived into the monitor log)");
                break;
            case StepKind::RestartWait:
                flush();
                Line("restart wait: discard what has arrived, then send 7A \"z\" every " +
                     std::to_string(kPollMs) + " ms until the converter answers (at most " +
                     std::to_string(kWakeUpLimitMs) +
                     " ms); on an answer type 47 37 \"G7\" "
                     "(20 ms after each character), send 0A \"\\n\", wait 3000 ms");
                break;
            }
            timeMs_ += StepDurationMs(step);
        }
        flush();
    }

    void Wait(int ms) {
        Line("wait " + std::to_string(ms) + " ms");
        timeMs_ += ms;
    }

    std::int64_t TimeMs() const { return timeMs_; }
    std::ostringstream& Out() { return out_; }

private:
    std::string Time() const {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%8lld", static_cast<long long>(timeMs_));
        return buffer;
    }

    std::ostringstream out_;
    std::int64_t timeMs_ = 0;
};

} // namespace

std::optional<FirmwareVariant> ParseFirmware(const std::string& text) {
    if (text == "01.8") {
        return FirmwareVariant::V01_8;
    }
    if (text == "V6.5.0.7") {
        return FirmwareVariant::V6_5_0_7;
    }
    return std::nullopt;
}

std::string DryRunListing(const SetupValues& values, FirmwareVariant variant) {
    Listing listing;
    auto& out = listing.Out();
    out << "Dry run: firmware " << FirmwareName(variant) << ", port " << values.portName << "\n";
    out << "Before the banner: open " << values.portName
        << " at 9600 baud, 8 data bits, no parity, 1 stop bit (closed first, opened after "
           "300 ms);\n"
        << "  then send 78 \"x\" every " << kPollMs << " ms until 15 bytes have arrived (at most "
        << kWakeUpLimitMs << " ms) while the converter is switched off and on.\n";
    out << "    time  step (ms since the banner was read)\n";
    listing.Line("send 0A 0D  \"\\n\\r\"  (answer to the banner)");
    listing.Wait(kBannerPauseMs);
    listing.Steps(BuildOpening());
    listing.Steps(BuildScript(values, variant));
    out << "Total: " << listing.TimeMs() << " ms after the banner, the restart wait counted as "
        << kRestartWaitPlannedMs << " ms (" << kRestartWaitPlannedMs - kPollMs
        << " ms when the converter answers at once, about " << kWakeUpLimitMs + kPollMs
        << " ms when it never does)\n";
    out << "Bytes sent after the banner, without the restart wait's own: "
        << SentBytes(BuildOpening()).size() + SentBytes(BuildScript(values, variant)).size() + 2
        << "\n";
    return out.str();
}

} // namespace comsetup::cli
