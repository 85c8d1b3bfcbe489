// The two menu scripts ("01.8" and "V6.5.0.7") built from the setup values.
#include "download/script.h"

#include <array>

namespace comsetup {

namespace {

// Pauses of one address byte group: after the hundreds and the tens digit (digitPause),
// and after the line feed that ends the group (one or two waits in a row).
struct GroupPauses {
    int digitPause;
    std::vector<int> afterLine;
};

using AddressPauses = std::array<GroupPauses, 4>;

const AddressPauses& LanAddressPauses() { // converter IP address and gateway
    static const AddressPauses pauses{{{100, {200}}, {3, {3, 200}}, {3, {200}}, {3, {150}}}};
    return pauses;
}

const AddressPauses& RemoteAddressPauses() {
    static const AddressPauses pauses{{{100, {100}}, {3, {3}}, {3, {100}}, {3, {49}}}};
    return pauses;
}

class ScriptWriter {
public:
    void Send(std::uint8_t b) { steps_.push_back(ScriptStep::Send(b)); }
    void Send(char c) { Send(static_cast<std::uint8_t>(c)); }
    void Type(std::string text) { steps_.push_back(ScriptStep::Type(std::move(text))); }
    void Wait(int ms) { steps_.push_back(ScriptStep::Pause(ms)); }
    void Echo() { steps_.push_back(ScriptStep::EchoLog()); }
    void RestartWait() { steps_.push_back(ScriptStep::Restart()); }

    void Address(const AddressBytes& address, const AddressPauses& pauses) {
        for (std::size_t i = 0; i < address.size(); ++i) {
            const int v = address[i] & 0xFF;
            Send(static_cast<char>('0' + v / 100));
            Wait(pauses[i].digitPause);
            Send(static_cast<char>('0' + v / 10 % 10));
            Wait(pauses[i].digitPause);
            Send(static_cast<char>('0' + v % 10));
            Send(kLF);
            for (int ms : pauses[i].afterLine) {
                Wait(ms);
            }
        }
    }

    // A yes/no answer followed by one or two waits.
    void Answer(char yesNo, std::initializer_list<int> waits) {
        Send(yesNo);
        for (int ms : waits) {
            Wait(ms);
        }
    }

    std::vector<ScriptStep> Take() { return std::move(steps_); }

private:
    std::vector<ScriptStep> steps_;
};

void WriteYesNoRun(ScriptWriter& w, FirmwareVariant variant) {
    w.Answer('Y', {99});
    w.Answer('N', {99});
    w.Answer('N', {99});
    w.Answer('N', {99});
    w.Answer('Y', {99});
    if (variant == FirmwareVariant::V6_5_0_7) {
        w.Answer('Y', {99});
    }
    w.Answer('Y', {100});
    w.Answer('N', {99, 100});
    w.Answer('N', {200, 390});
}

void WriteTunnel(ScriptWriter& w, const SetupValues& v, FirmwareVariant variant) {
    if (v.tunnel) {
        w.Type("CC");
        w.Send(kLF);
        w.Wait(40);
        w.Type("01");
        w.Send(kLF);
        w.Wait(40);
        bool sendRemoteAddress = true;
        if (variant == FirmwareVariant::V6_5_0_7) {
            if (v.broadcast) {
                w.Send('Y');
                sendRemoteAddress = false;
            } else {
                w.Send('N');
                w.Wait(40);
            }
        }
        if (sendRemoteAddress) {
            w.Address(v.remote, RemoteAddressPauses());
        }
        w.Type(std::to_string(v.remotePort));
        w.Send(kLF);
        w.Wait(200);
        for (int i = 0; i < 3; ++i) {
            w.Send(kLF);
            w.Wait(200);
        }
        w.Echo();
        w.Wait(200);
        return;
    }
    if (variant == FirmwareVariant::V01_8) {
        for (int i = 0; i < 12; ++i) {
            w.Wait(40);
            w.Send(kLF);
        }
    } else {
        w.Wait(40);
        w.Send(kLF);
        for (int i = 0; i < 3; ++i) {
            w.Wait(40);
            w.Send(kCR);
        }
        for (int i = 0; i < 11; ++i) {
            w.Wait(40);
            w.Send(kLF);
        }
    }
    w.Echo();
}

} // namespace

int HostBits(const AddressBytes& mask) {
    int bits = 0;
    for (int i = 3; i >= 0; --i) {
        if (mask[i] == 0) {
            bits += 8;
            continue;
        }
        switch (mask[i]) {
        case 128:
            return bits + 7;
        case 192:
            return bits + 6;
        case 224:
            return bits + 5;
        case 240:
            return bits + 4;
        case 248:
            return bits + 3;
        case 252:
            return bits + 2;
        case 254:
            return bits + 1;
        default:
            return bits; // 255 and any value outside the list add nothing
        }
    }
    return 32;
}

int LineFormatCode(const std::string& dataBitsText, int parityIndex, int stopBitsIndex) {
    int code = dataBitsText == "8" ? 0x0C : 0x04;
    if (parityIndex == 1) {
        code += 0x10;
    } else if (parityIndex == 2) {
        code += 0x30;
    }
    if (stopBitsIndex == 0) {
        code += 0x40;
    } else if (stopBitsIndex == 1) {
        code += 0xC0;
    }
    return code;
}

int FlowCode(int flowIndex) {
    switch (flowIndex) {
    case 1:
        return 0x01;
    case 2:
        return 0x02;
    case 3:
        return 0x05;
    default:
        return 0x00;
    }
}

std::string HexByte(int value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const int v = value & 0xFF;
    return {kDigits[v >> 4], kDigits[v & 0x0F]};
}

std::vector<ScriptStep> BuildOpening() {
    ScriptWriter w;
    w.Send('7');
    w.Send(kLF);
    w.Wait(200);
    w.Send('0');
    w.Send(kLF);
    return w.Take();
}

std::vector<ScriptStep> BuildScript(const SetupValues& v, FirmwareVariant variant) {
    if (variant != FirmwareVariant::V01_8 && variant != FirmwareVariant::V6_5_0_7) {
        return {};
    }
    ScriptWriter w;

    w.Address(v.ip, LanAddressPauses());
    w.Echo();

    if (v.useGateway) {
        w.Send('Y');
        w.Wait(150);
        w.Address(v.gateway, LanAddressPauses());
        w.Echo();
    } else {
        w.Send('N');
    }
    w.Wait(150);

    for (char digit : std::to_string(HostBits(v.mask))) {
        w.Send(digit);
    }
    w.Send(kLF);
    w.Wait(150);

    w.Send('N');
    w.Echo();
    w.Wait(800);
    w.Echo();

    w.Send('6');
    w.Send(kLF);
    w.Wait(99);
    WriteYesNoRun(w, variant);

    w.Send('1');
    w.Send(kLF);
    w.Wait(82);

    w.Type(v.baudText);
    w.Send(kLF);
    w.Type(HexByte(LineFormatCode(v.dataBitsText, v.parityIndex, v.stopBitsIndex)));
    w.Send(kLF);
    const int flow = FlowCode(v.flowIndex);
    w.Type(HexByte(flow));
    w.Send(kLF);
    w.Echo();
    w.Wait(100);

    w.Type(v.localPortText);
    w.Send(kLF);

    WriteTunnel(w, v, variant);

    w.Wait(200);
    w.Send('9');
    w.Send(kLF);
    w.Wait(100);
    w.Echo();
    w.Wait(1000);
    w.Wait(1000);

    w.RestartWait();

    w.Type("S7");
    w.Send(kLF);
    w.Wait(1000);

    const bool ctsRts = flow == 0x02;
    for (std::string_view record :
         {ctsRts ? kRecordA : kRecordB, kRecord2, kRecord3, kRecord4, kRecordEnd}) {
        w.Type(std::string(record));
        w.Send(kLF);
        w.Wait(100);
    }

    w.Type("RS");
    w.Send(kLF);
    return w.Take();
}

std::int64_t StepDurationMs(const ScriptStep& step, int restartWaitMs) {
    switch (step.kind) {
    case StepKind::TypeText:
        return static_cast<std::int64_t>(step.text.size()) * kTypePauseMs;
    case StepKind::Wait:
        return step.ms > 0 ? step.ms : 0;
    case StepKind::RestartWait:
        return restartWaitMs;
    case StepKind::SendByte:
    case StepKind::Echo:
        break;
    }
    return 0;
}

std::int64_t PlannedDurationMs(const std::vector<ScriptStep>& steps, int restartWaitMs) {
    std::int64_t total = 0;
    for (const ScriptStep& step : steps) {
        total += StepDurationMs(step, restartWaitMs);
    }
    return total;
}

std::string SentBytes(const std::vector<ScriptStep>& steps) {
    std::string bytes;
    for (const ScriptStep& step : steps) {
        if (step.kind == StepKind::SendByte) {
            bytes.push_back(static_cast<char>(step.byte));
        } else if (step.kind == StepKind::TypeText) {
            bytes += step.text;
        }
    }
    return bytes;
}

} // namespace comsetup
