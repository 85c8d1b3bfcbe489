// The questions of the setup menu's sections: their order (which depends on earlier
// answers and on the firmware), their prompts, the keys each accepts and where each answer
// is stored.
#include "sim/converter_model.h"

#include "sim/converter_texts.h"
#include "sim/model_bytes.h"

#include <cstdio>
#include <utility>

namespace comsetup::sim {

using namespace detail;

// ---- questions ----

ConverterModel::Kind ConverterModel::KindOf(Field f) {
    switch (f) {
    case Field::Ip0:
    case Field::Ip1:
    case Field::Ip2:
    case Field::Ip3:
    case Field::Gw0:
    case Field::Gw1:
    case Field::Gw2:
    case Field::Gw3:
    case Field::Rem0:
    case Field::Rem1:
    case Field::Rem2:
    case Field::Rem3:
        return Kind::Octet;
    case Field::HostBits:
    case Field::RemotePort:
        return Kind::Number;
    case Field::UseGateway:
    case Field::ChangePassword:
    case Field::Service:
    case Field::Broadcast:
        return Kind::YesNo;
    case Field::LineCode:
    case Field::FlowCode:
    case Field::ConnectCode:
    case Field::LinkCode:
    case Field::IdleCode:
    case Field::FlushCode:
    case Field::PackCode:
        return Kind::Hex;
    case Field::Baud:
    case Field::LocalPort:
    case Field::NewPassword:
    case Field::Done:
        return Kind::Text;
    }
    return Kind::Text;
}

void ConverterModel::StartSection(Section s) {
    switch (s) {
    case Section::Network:
        Emit("\r\nNetwork settings\r\n");
        Ask(Field::Ip0);
        return;
    case Section::SerialLine:
        Emit("\r\nSerial line settings\r\n");
        Ask(Field::Baud);
        return;
    case Section::Services:
        Emit("\r\nServices\r\n");
        serviceIndex_ = 0;
        Ask(Field::Service);
        return;
    case Section::None:
        ShowMenu();
        return;
    }
}

void ConverterModel::Ask(Field f) {
    field_ = f;
    input_.clear();
    state_ = State::Question;
    Emit(PromptFor(f));
}

namespace {
std::string Byte3(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%03d", v & 0xFF);
    return buf;
}
std::string YN(bool v) {
    return v ? "Y" : "N";
}
} // namespace

std::string ConverterModel::PromptFor(Field f) const {
    const ConverterSettings& s = working_;
    auto octet = [](const char* what, const Address& a, int i) {
        return std::string(what) + " byte " + std::to_string(i + 1) + " (" + Byte3(a[i]) + ") ? ";
    };
    switch (f) {
    case Field::Ip0:
    case Field::Ip1:
    case Field::Ip2:
    case Field::Ip3:
        return octet("IP address", s.ip, static_cast<int>(f) - static_cast<int>(Field::Ip0));
    case Field::UseGateway:
        return "Use a gateway (" + YN(s.useGateway) + ") ? ";
    case Field::Gw0:
    case Field::Gw1:
    case Field::Gw2:
    case Field::Gw3:
        return octet("Gateway", s.gateway, static_cast<int>(f) - static_cast<int>(Field::Gw0));
    case Field::HostBits:
        return "Host bits of the subnet mask, 0 for the class default (" +
               std::to_string(s.hostBits) + ") ? ";
    case Field::ChangePassword:
        return "Change the setup password (N) ? ";
    case Field::NewPassword:
        return "New setup password ? ";
    case Field::Service:
        return ServiceQuestion(opt_.firmware, serviceIndex_) + " (N) ? ";
    case Field::Baud:
        return "Baud rate (" + s.baud + ") ? ";
    case Field::LineCode:
        return "Line format code (" + FormatHex(s.lineCode) + ") ? ";
    case Field::FlowCode:
        return "Flow control code (" + FormatHex(s.flowCode) + ") ? ";
    case Field::LocalPort:
        return "Local port (" + s.localPort + ") ? ";
    case Field::ConnectCode:
        return "Connect mode code (" + FormatHex(s.connectCode) + ") ? ";
    case Field::LinkCode:
        return "Link mode code (" + FormatHex(s.linkCode) + ") ? ";
    case Field::Broadcast:
        return "Answer broadcasts instead of one remote (" + YN(s.broadcast) + ") ? ";
    case Field::Rem0:
    case Field::Rem1:
    case Field::Rem2:
    case Field::Rem3:
        return octet("Remote IP address", s.remote,
                     static_cast<int>(f) - static_cast<int>(Field::Rem0));
    case Field::RemotePort:
        return "Remote port (" + s.remotePort + ") ? ";
    case Field::IdleCode:
        return "Idle disconnect code (" + FormatHex(s.idleCode) + ") ? ";
    case Field::FlushCode:
        return "Buffer flush code (" + FormatHex(s.flushCode) + ") ? ";
    case Field::PackCode:
        return "Packet code (" + FormatHex(s.packCode) + ") ? ";
    case Field::Done:
        break;
    }
    return "? ";
}

void ConverterModel::OnQuestion(std::uint8_t b) {
    const Kind kind = KindOf(field_);
    const std::string where = " at \"" + PromptFor(field_) + "\"";
    if (kind == Kind::YesNo) {
        if (b == 'Y' || b == 'y' || b == 'N' || b == 'n') {
            const std::string answer(1, static_cast<char>(b == 'Y' || b == 'y' ? 'Y' : 'N'));
            Emit(answer + "\r\n");
            StoreAnswer(field_, answer);
            NextQuestion();
        } else if (IsEnter(b)) {
            Emit("\r\n");
            StoreAnswer(field_, "");
            NextQuestion();
        } else {
            Anomaly("byte " + DescribeByte(b) + where);
        }
        return;
    }
    if (IsEnter(b)) {
        Emit("\r\n");
        StoreAnswer(field_, std::exchange(input_, std::string()));
        NextQuestion();
        return;
    }
    bool fits = false;
    std::size_t maxLength = 16;
    switch (kind) {
    case Kind::Octet:
        fits = IsDigit(b);
        maxLength = 3;
        break;
    case Kind::Number:
        fits = IsDigit(b);
        maxLength = 5;
        break;
    case Kind::Hex:
        fits = IsHexDigit(b);
        maxLength = 2;
        break;
    case Kind::Text:
    case Kind::YesNo:
        fits = IsPrintable(b);
        break;
    }
    if (!fits) {
        Anomaly("byte " + DescribeByte(b) + where);
        return;
    }
    if (input_.size() >= maxLength) {
        Anomaly("answer too long" + where + ": byte " + DescribeByte(b) + " dropped");
        return;
    }
    input_.push_back(static_cast<char>(b));
    Emit(std::string(1, static_cast<char>(b)));
}

// The fields that are stored as they are read: a byte of an address, a number or a code, a
// yes/no. The others need a check or a text of their own (StoreAnswer). False when f is not
// one of them.
bool ConverterModel::StoreInTable(ConverterSettings& s, Field f, int value, bool yes) {
    struct AddressField {
        Field first; // the address's first byte; the next three follow it
        Address ConverterSettings::*address;
    };
    static constexpr AddressField kAddressFields[] = {{Field::Ip0, &ConverterSettings::ip},
                                                      {Field::Gw0, &ConverterSettings::gateway},
                                                      {Field::Rem0, &ConverterSettings::remote}};
    static constexpr std::pair<Field, int ConverterSettings::*> kNumberFields[] = {
        {Field::HostBits, &ConverterSettings::hostBits},
        {Field::LineCode, &ConverterSettings::lineCode},
        {Field::ConnectCode, &ConverterSettings::connectCode},
        {Field::LinkCode, &ConverterSettings::linkCode},
        {Field::IdleCode, &ConverterSettings::idleCode},
        {Field::FlushCode, &ConverterSettings::flushCode},
        {Field::PackCode, &ConverterSettings::packCode}};
    static constexpr std::pair<Field, bool ConverterSettings::*> kYesNoFields[] = {
        {Field::UseGateway, &ConverterSettings::useGateway},
        {Field::Broadcast, &ConverterSettings::broadcast}};

    for (const AddressField& a : kAddressFields) {
        const int index = static_cast<int>(f) - static_cast<int>(a.first);
        if (index >= 0 && index < 4) {
            (s.*a.address)[static_cast<std::size_t>(index)] = value;
            return true;
        }
    }
    for (const auto& [field, member] : kNumberFields) {
        if (field == f) {
            s.*member = value;
            return true;
        }
    }
    for (const auto& [field, member] : kYesNoFields) {
        if (field == f) {
            s.*member = yes;
            return true;
        }
    }
    return false;
}

void ConverterModel::StoreAnswer(Field f, const std::string& answer) {
    ConverterSettings& s = working_;
    const std::string where = " at \"" + PromptFor(f) + "\"";
    if (f == Field::Service) {
        report_.serviceAnswers += answer.empty() ? "-" : answer;
        return;
    }
    if (answer.empty())
        return; // Enter alone keeps the value
    const Kind kind = KindOf(f);
    int value = 0;
    if (kind == Kind::Octet || kind == Kind::Number) {
        value = std::stoi(answer); // digits only, at most 5 of them
        const int limit = kind == Kind::Octet ? 255 : (f == Field::HostBits ? 32 : 65535);
        if (value > limit) {
            Anomaly("value " + answer + " out of range" + where);
            return;
        }
    } else if (kind == Kind::Hex) {
        value = std::stoi(answer, nullptr, 16);
    }
    if (StoreInTable(s, f, value, answer == "Y"))
        return;
    switch (f) {
    case Field::ChangePassword:
        passwordChange_ = answer == "Y";
        return;
    case Field::NewPassword:
        s.password = answer;
        return;
    case Field::Baud:
        if (!AllDigits(answer))
            Anomaly("baud rate \"" + answer + "\" is not a number");
        s.baud = answer;
        return;
    case Field::FlowCode:
        if (DescribeFlowCode(value) == "unknown")
            Anomaly("unknown flow control code " + answer);
        s.flowCode = value;
        return;
    case Field::LocalPort:
        if (!AllDigits(answer) || std::stol(answer.substr(0, 6)) > 65535)
            Anomaly("local port \"" + answer + "\" is not a port number");
        s.localPort = answer;
        return;
    case Field::RemotePort:
        s.remotePort = std::to_string(value);
        return;
    default:
        return;
    }
}

ConverterModel::Field ConverterModel::FollowingField(Field f) const {
    const ConverterSettings& s = working_;
    switch (f) {
    case Field::Ip0:
        return Field::Ip1;
    case Field::Ip1:
        return Field::Ip2;
    case Field::Ip2:
        return Field::Ip3;
    case Field::Ip3:
        return Field::UseGateway;
    case Field::UseGateway:
        return s.useGateway ? Field::Gw0 : Field::HostBits;
    case Field::Gw0:
        return Field::Gw1;
    case Field::Gw1:
        return Field::Gw2;
    case Field::Gw2:
        return Field::Gw3;
    case Field::Gw3:
        return Field::HostBits;
    case Field::HostBits:
        return Field::ChangePassword;
    case Field::ChangePassword:
        return passwordChange_ ? Field::NewPassword : Field::Done;
    case Field::NewPassword:
        return Field::Done;
    case Field::Service:
        return serviceIndex_ + 1 < ServiceQuestionCount(opt_.firmware) ? Field::Service
                                                                       : Field::Done;
    case Field::Baud:
        return Field::LineCode;
    case Field::LineCode:
        return Field::FlowCode;
    case Field::FlowCode:
        return Field::LocalPort;
    case Field::LocalPort:
        return Field::ConnectCode;
    case Field::ConnectCode:
        return s.Tunnel() ? Field::LinkCode : Field::IdleCode;
    case Field::LinkCode:
        return opt_.firmware == Firmware::V6_5_0_7 ? Field::Broadcast : Field::Rem0;
    case Field::Broadcast:
        return s.broadcast ? Field::RemotePort : Field::Rem0;
    case Field::Rem0:
        return Field::Rem1;
    case Field::Rem1:
        return Field::Rem2;
    case Field::Rem2:
        return Field::Rem3;
    case Field::Rem3:
        return Field::RemotePort;
    case Field::RemotePort:
        return Field::IdleCode;
    case Field::IdleCode:
        return Field::FlushCode;
    case Field::FlushCode:
        return Field::PackCode;
    case Field::PackCode:
    case Field::Done:
        return Field::Done;
    }
    return Field::Done;
}

void ConverterModel::NextQuestion() {
    const Field next = FollowingField(field_);
    if (next == Field::Service)
        ++serviceIndex_;
    if (next == Field::Done) {
        field_ = Field::Done;
        ShowMenu();
        return;
    }
    Ask(next);
}

} // namespace comsetup::sim
