// Fills a device control block from the component's line settings. Flow control either resets
// the flag word (fcNone), or-s handshake bits onto what the device reported (fcCTS, fcDTR,
// fcSoftware), or keeps the device's word (fcDefault); the options then set or clear their bit.
#include "serial/line_settings.h"

#include <algorithm>

namespace comsetup {
namespace {

constexpr uint32_t kOptionFlag[] = {dcbflag::Parity, dcbflag::DsrSensitivity,
                                    dcbflag::TXContinueOnXoff, dcbflag::ErrorChar, dcbflag::Null};

} // namespace

void ApplyLineSettings(ControlBlock& dcb, const LineSettings& s) {
    dcb.BaudRate = BaudRateValue(s.baudRate);
    dcb.Parity = static_cast<uint8_t>(s.parity);
    dcb.StopBits = static_cast<uint8_t>(s.stopbits);
    dcb.ByteSize = DataBitsValue(s.databits);

    dcb.XonChar = s.xonChar;
    dcb.XoffChar = s.xoffChar;
    dcb.ErrorChar = s.errorChar;
    dcb.EofChar = s.eofChar;
    dcb.EvtChar = s.evtChar;

    // The limit fields hold 16 bits: a very large (or negative) queue size must not wrap
    // around into a tiny or huge limit.
    const int limit = std::clamp(s.readBufSize / 4, 0, 0xFFFF);
    dcb.XonLim = static_cast<uint16_t>(limit);
    dcb.XoffLim = static_cast<uint16_t>(limit);

    switch (s.flowControl) {
    case fcNone:
        dcb.Flags = dcbflag::Binary;
        break;
    case fcCTS:
        dcb.Flags |= dcbflag::OutxCtsFlow | dcbflag::RtsControlHandshake;
        break;
    case fcDTR:
        dcb.Flags |= dcbflag::OutxDsrFlow | dcbflag::DtrControlHandshake;
        break;
    case fcSoftware:
        dcb.Flags |= dcbflag::OutX | dcbflag::InX;
        break;
    case fcDefault:
        break;
    }

    for (int i = 0; i <= static_cast<int>(coNullStrip); ++i) {
        if (s.options.Contains(static_cast<TCommOption>(i)))
            dcb.Flags |= kOptionFlag[i];
        else
            dcb.Flags &= ~kOptionFlag[i];
    }
}

} // namespace comsetup
