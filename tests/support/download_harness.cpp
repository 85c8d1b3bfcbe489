// Virtual-time harness for driver tests.
#include "tests/support/download_harness.h"

namespace comsetup::test {

std::string ScriptedConverter::ReceivedText() const {
    std::string text;
    for (const auto& b : received_) {
        text.push_back(b.byte);
    }
    return text;
}

int ScriptedConverter::Count(char c) const {
    int n = 0;
    for (const auto& b : received_) {
        n += b.byte == c ? 1 : 0;
    }
    return n;
}

bool ScriptedConverter::EndsWith(const std::string& s) const {
    const std::string text = ReceivedText();
    return text.size() >= s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0;
}

void ScriptedConverter::Feed(const std::string& written, std::int64_t lastMs, std::int64_t nowMs) {
    for (char c : written) {
        received_.push_back({lastMs, c});
    }
    nowMs_ = nowMs;
    for (auto& rule : rules_) {
        if (!rule.fired && rule.when(*this)) {
            rule.fired = true;
            rule.then(*this);
        }
    }
}

std::string BannerFor(FirmwareVariant variant) {
    const char* version = variant == FirmwareVariant::V01_8      ? "01.8"
                          : variant == FirmwareVariant::V6_5_0_7 ? "V6.5.0.7"
                                                                 : "03.2";
    return std::string("\r\n*** Serial device server ***\r\nSoftware version ") + version +
           " (build 2004)\r\nPress Enter for setup mode\r\n";
}

DownloadHarness::DownloadHarness() {
    converter.Attach(line);
    pacer.SetListener([this](std::chrono::nanoseconds) { Flush(); });
}

void DownloadHarness::Flush() {
    const std::int64_t now = pacer.NowMs();
    converter.Feed(line->TakeWritten(), lastMs_, now);
    lastMs_ = now;
}

void DownloadHarness::HealthyConverter(FirmwareVariant variant, int bannerAtX, int restartAtZ) {
    converter.On([bannerAtX](const ScriptedConverter& c) { return c.Count('x') >= bannerAtX; },
                 [variant](ScriptedConverter& c) { c.Say(BannerFor(variant)); });
    converter.On([](const ScriptedConverter& c) { return c.EndsWith("\n9\n"); },
                 [](ScriptedConverter& c) { c.Say(kClosingLines); });
    converter.On([restartAtZ](const ScriptedConverter& c) { return c.Count('z') >= restartAtZ; },
                 [](ScriptedConverter& c) { c.Say("\r\nmonitor> "); });
}

DownloadOutcome DownloadHarness::Run(const SetupValues& values) {
    DownloadContext context{comm, progress, monitor, messages, pacer, cancel, observer, trace};
    context.searchPorts = searchPorts;
    if (makePort) {
        context.makePort = makePort;
    }
    download = std::make_unique<SetupDownload>(context);
    struct FlushAtEnd {
        DownloadHarness* h;
        ~FlushAtEnd() { h->Flush(); }
    } flushAtEnd{this};
    return download->Run(values);
}

std::string DownloadHarness::SentAfterBanner() const {
    const std::string sent = Sent();
    const auto pos = sent.find("\n\r");
    return pos == std::string::npos ? std::string() : sent.substr(pos);
}

std::string DownloadHarness::TimelineFrom(std::size_t offset) const {
    const auto& bytes = converter.Received();
    std::string out;
    for (std::size_t i = offset; i < bytes.size(); ++i) {
        const char c = bytes[i].byte;
        out += c == '\n'   ? std::string("<LF>")
               : c == '\r' ? std::string("<CR>")
                           : std::string(1, c);
        if (i + 1 < bytes.size() && bytes[i + 1].ms != bytes[i].ms) {
            out += '[';
            out += std::to_string(bytes[i + 1].ms - bytes[i].ms);
            out += ']';
        }
    }
    return out;
}

std::string ExpectedAfterBanner(const SetupValues& values, FirmwareVariant variant, int zPolls,
                                bool restartAnswered) {
    const std::string script = SentBytes(BuildScript(values, variant));
    const auto restart = script.find("\n9\n") + 3; // the restart wait follows "9" LF
    std::string restartBytes(static_cast<std::size_t>(zPolls), 'z');
    if (restartAnswered) {
        restartBytes += "G7\n";
    }
    return "\n\r" + SentBytes(BuildOpening()) + script.substr(0, restart) + restartBytes +
           script.substr(restart);
}

} // namespace comsetup::test
