// The device control block, time-out record and bit values the component works with. They keep
// the layout of the Windows serial API so that the component's line logic (flag words, limits,
// event and error bits) is the same on every platform; each backend maps them onto its device.
#pragma once

#include <cstdint>

namespace comsetup {

// Device control block: field order and flag-word layout of the Windows DCB.
struct ControlBlock {
    uint32_t DCBlength = sizeof(ControlBlock);
    uint32_t BaudRate = 0;
    uint32_t Flags = 0; // the packed flag word, see dcbflag below
    uint16_t wReserved = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    uint16_t wReserved1 = 0;
};

namespace dcbflag {
constexpr uint32_t Binary = 0x0001;
constexpr uint32_t Parity = 0x0002;
constexpr uint32_t OutxCtsFlow = 0x0004;
constexpr uint32_t OutxDsrFlow = 0x0008;
constexpr uint32_t DtrControlMask = 0x0030;
constexpr uint32_t DtrControlEnable = 0x0010;
constexpr uint32_t DtrControlHandshake = 0x0020;
constexpr uint32_t DsrSensitivity = 0x0040;
constexpr uint32_t TXContinueOnXoff = 0x0080;
constexpr uint32_t OutX = 0x0100;
constexpr uint32_t InX = 0x0200;
constexpr uint32_t ErrorChar = 0x0400;
constexpr uint32_t Null = 0x0800;
constexpr uint32_t RtsControlMask = 0x3000;
constexpr uint32_t RtsControlEnable = 0x1000;
constexpr uint32_t RtsControlHandshake = 0x2000;
constexpr uint32_t RtsControlToggle = 0x3000;
constexpr uint32_t AbortOnError = 0x4000;
} // namespace dcbflag

struct CommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// Line events a device reports.
namespace commevent {
constexpr uint32_t RxChar = 0x0001;
constexpr uint32_t RxFlag = 0x0002;
constexpr uint32_t TxEmpty = 0x0004;
constexpr uint32_t Cts = 0x0008;
constexpr uint32_t Dsr = 0x0010;
constexpr uint32_t Rlsd = 0x0020;
constexpr uint32_t Break = 0x0040;
constexpr uint32_t Err = 0x0080;
constexpr uint32_t Ring = 0x0100;
} // namespace commevent

// Line-error bits of a device's error state.
namespace commerror {
constexpr uint32_t RxOver = 0x0001;   // receive queue overflow
constexpr uint32_t Overrun = 0x0002;  // hardware overrun
constexpr uint32_t RxParity = 0x0004; // parity error
constexpr uint32_t Frame = 0x0008;    // framing error
constexpr uint32_t Break = 0x0010;    // break condition
constexpr uint32_t IoError = 0x0400;  // the device failed (unplugged, hung up)
} // namespace commerror

namespace purge {
constexpr uint32_t TxAbort = 0x0001;
constexpr uint32_t RxAbort = 0x0002;
constexpr uint32_t TxClear = 0x0004;
constexpr uint32_t RxClear = 0x0008;
} // namespace purge

} // namespace comsetup
