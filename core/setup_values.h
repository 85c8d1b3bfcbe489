// The values of one setup download: everything the download reads from the main setup
// window (or, in the command-line tool, from its options). Plain data, no behaviour.
// Field bytes are kept as the integers the numeric fields give; the script uses their low
// 8 bits. Texts (baud rate, data bits, local port) are sent verbatim, unvalidated.
#pragma once

#include <array>
#include <string>

namespace comsetup {

using AddressBytes = std::array<int, 4>;

struct SetupValues {
    std::string portName = "COM1";          // cb_com text
    AddressBytes ip{192, 168, 1, 200};      // re_ipb1..4
    AddressBytes mask{255, 255, 255, 0};    // re_smb1..4
    bool useGateway = false;                // CB_UseGateway
    AddressBytes gateway{192, 168, 1, 200}; // RE_Gat1..4
    std::string baudText = "9600";          // cb_br text
    std::string dataBitsText = "8";         // cb_db text
    int parityIndex = 0;                    // cb_pa: none, odd, even
    int stopBitsIndex = 0;                  // cb_sb: 1, 2
    int flowIndex = 0;                      // cb_fc: none, XON/XOFF, CTS/RTS, XON/XOFF pass
    std::string localPortText = "10001";    // RangeEdit1 text
    bool tunnel = false;                    // cb_entunnel
    AddressBytes remote{192, 168, 1, 200};  // are_ipb1..4 (main window's own default)
    int remotePort = 10001;                 // port_rem
    bool broadcast = false;                 // CB_BRCast

    bool operator==(const SetupValues&) const = default;
};

} // namespace comsetup
