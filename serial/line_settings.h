// The line-settings step of UpdateDataControlBlock as a pure function: given the control block
// the device reported and the component's settings, produce the block to write.
#pragma once

#include "serial/comm.h"
#include "serial/control_block.h"

namespace comsetup {

struct LineSettings {
    TBaudrate baudRate = br9600;
    TParity parity = paNone;
    TStopbits stopbits = sb10;
    TDatabits databits = da8;
    TFlowControl flowControl = fcDefault;
    TCommOptions options;
    char xonChar = 17, xoffChar = 19, errorChar = 0, eofChar = 0, evtChar = 0;
    int readBufSize = 4096;
};

void ApplyLineSettings(ControlBlock& dcb, const LineSettings& settings);

} // namespace comsetup
