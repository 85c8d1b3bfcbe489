#include "download_emulator.h"

#include <algorithm>
#include <utility>

namespace comsetup::test {
namespace {

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

std::string Digits3(int v) {
    v &= 0xFF;
    return {static_cast<char>('0' + v / 100), static_cast<char>('0' + v / 10 % 10),
            static_cast<char>('0' + v % 10)};
}

} // namespace

std::string CutVersion(const std::string& banner) {
    std::string text;
    for (char c : banner) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 32)
            continue;
        text.push_back(b >= 'a' && b <= 'z' ? static_cast<char>(b - 32) : c);
    }
    const auto pos = text.find("SOFTWARE VERSION");
    const std::size_t from = pos == std::string::npos ? 15 : pos + 16;
    const std::string rest = Trim(from < text.size() ? text.substr(from) : std::string());
    const auto blank = rest.find(' ');
    if (blank == std::string::npos)
        return {};
    return Trim(rest.substr(0, blank + 1));
}

void DownloadEmulator::Wait(int ms) {
    const std::int64_t until = nowUs_ + static_cast<std::int64_t>(ms) * 1000;
    while (true) {
        const auto next = model_.NextEventUs();
        if (!next || *next > until)
            break;
        nowUs_ = std::max(nowUs_, *next);
        model_.Advance(nowUs_);
        rx_ += model_.TakeOutput();
    }
    nowUs_ = until;
    model_.Advance(nowUs_);
    rx_ += model_.TakeOutput();
}

void DownloadEmulator::Send(char b) {
    model_.Receive(std::string_view(&b, 1), nowUs_);
    rx_ += model_.TakeOutput();
}

void DownloadEmulator::Type(const std::string& text) {
    for (char c : text) {
        Send(c);
        Wait(20);
    }
}

void DownloadEmulator::Echo() {
    std::string line;
    for (char c : rx_) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            result_.log.push_back(line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    rx_.clear();
}

void DownloadEmulator::Address(const std::array<int, 4>& a, const int (&pauses)[4][2]) {
    for (int i = 0; i < 4; ++i) {
        const std::string d = Digits3(a[i]);
        Send(d[0]);
        Wait(pauses[i][0]);
        Send(d[1]);
        Wait(pauses[i][0]);
        Send(d[2]);
        Send('\n');
        Wait(pauses[i][1]);
    }
}

DownloadResult DownloadEmulator::Run(const DownloadValues& v, ScriptFirmware script,
                                     bool cancelAfterBanner) {
    result_ = DownloadResult{};
    // Wake-up wait: "x" every 500 ms until 15 bytes wait, at most 15 s.
    const std::int64_t start = nowUs_;
    while (true) {
        const bool late = nowUs_ - start > 15'000'000;
        if (rx_.size() >= 15) {
            result_.bannerRead = true;
            result_.banner = std::exchange(rx_, std::string());
            Send('\n');
            Send('\r');
            break;
        }
        Send('x');
        ++result_.xSent;
        Wait(500);
        if (late)
            break;
    }
    if (!result_.bannerRead)
        return result_;
    result_.version = CutVersion(result_.banner);
    Wait(7000);
    Echo();
    Send('7');
    Send('\n');
    Wait(200);
    Send('0');
    Send('\n');
    if (result_.version == "01.8")
        Script(v, ScriptFirmware::V01_8, cancelAfterBanner);
    else if (result_.version == "V6.5.0.7")
        Script(v,
               script == ScriptFirmware::V01_8 ? ScriptFirmware::V01_8 : ScriptFirmware::V6_5_0_7,
               cancelAfterBanner);
    else
        return result_;
    const std::string second =
        result_.log.size() >= 2 ? result_.log[result_.log.size() - 2] : std::string();
    result_.verdictComplete = second.find("Exit without") != std::string::npos;
    return result_;
}

void DownloadEmulator::Script(const DownloadValues& v, ScriptFirmware fw, bool cancelled) {
    static const int kOwn[4][2] = {{100, 200}, {3, 203}, {3, 200}, {3, 150}};
    static const int kRemote[4][2] = {{100, 100}, {3, 3}, {3, 100}, {3, 49}};
    const bool v6 = fw == ScriptFirmware::V6_5_0_7;
    Address(v.ip, kOwn);
    Echo();
    if (v.useGateway) {
        Send('Y');
        Wait(150);
        Address(v.gateway, kOwn);
        Echo();
    } else {
        Send('N');
    }
    Wait(150);
    for (char c : v.hostBits)
        Send(c);
    Send('\n');
    Wait(150);
    Send('N');
    Echo();
    Wait(800);
    Echo();
    Send('6');
    Send('\n');
    Wait(99);
    const std::string run = v6 ? "YNNNYYYNN" : "YNNNYYNN";
    const std::vector<int> pauses = v6 ? std::vector<int>{99, 99, 99, 99, 99, 99, 100, 199, 590}
                                       : std::vector<int>{99, 99, 99, 99, 99, 100, 199, 590};
    for (std::size_t i = 0; i < run.size(); ++i) {
        Send(run[i]);
        Wait(pauses[i]);
    }
    Send('1');
    Send('\n');
    Wait(82);
    Type(v.baud);
    Send('\n');
    Type(v.lineCode);
    Send('\n');
    Type(v.flowCode);
    Send('\n');
    Echo();
    Wait(100);
    Type(v.localPort);
    Send('\n');
    if (v.tunnel) {
        Type("CC");
        Send('\n');
        Wait(40);
        Type("01");
        Send('\n');
        Wait(40);
        bool skipRemote = false;
        if (v6) {
            skipRemote = v.broadcast;
            Send(v.broadcast ? 'Y' : 'N');
            if (!skipRemote)
                Wait(40);
        }
        if (!skipRemote)
            Address(v.remote, kRemote);
        Type(std::to_string(v.remotePort));
        Send('\n');
        Wait(200);
        for (int i = 0; i < 3; ++i) {
            Send('\n');
            Wait(200);
        }
        Echo();
        Wait(200);
    } else if (v6) {
        Wait(40);
        Send('\n');
        for (int i = 0; i < 3; ++i) {
            Wait(40);
            Send('\r');
        }
        for (int i = 0; i < 11; ++i) {
            Wait(40);
            Send('\n');
        }
        Echo();
    } else {
        for (int i = 0; i < 12; ++i) {
            Wait(40);
            Send('\n');
        }
        Echo();
    }
    Wait(200);
    Send('9');
    Send('\n');
    Wait(100);
    Echo();
    Wait(1000);
    Wait(1000);
    // Restart wait: purge, then "z" every 500 ms until anything arrives, at most 15 s.
    rx_.clear();
    const std::int64_t start = nowUs_;
    while (!cancelled && nowUs_ - start <= 15'000'000) {
        if (!rx_.empty()) {
            result_.restartAnswered = true;
            Type("G7");
            Send('\n');
            Wait(3000);
            break;
        }
        Send('z');
        ++result_.zSent;
        Wait(500);
    }
    Type("S7");
    Send('\n');
    Wait(1000);
    const bool cts = v.flowCode == "02";
    Type(cts ? ":20000010000601808000000000800000000000000000000000000000000000000000000049"
             : ":2000001004060800000000800080008000000000000000000000000000000000000000003E");
    Send('\n');
    Wait(100);
    for (const char* r :
         {":200020100000000000000000000000000000000000000000000000000000000000000000B0",
          ":20004010000000000000000000000000000000000000000000000000000000000000000090",
          ":1E00601000000000000000000000000000000000000000000000000000000000000072",
          ":00000001FF"}) {
        Type(r);
        Send('\n');
        Wait(100);
    }
    Type("RS");
    Send('\n');
}

} // namespace comsetup::test
