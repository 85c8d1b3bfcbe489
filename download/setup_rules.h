// Rules on setup values shared by the wizard and the command-line tool: which subnet masks
// are accepted, the directed broadcast address of the converter's network, and how an
// operating mode (and the master side of a point-to-multipoint tunnel) maps onto the values
// the download reads. Pure functions, no I/O.
#pragma once

#include "core/setup_values.h"

#include <optional>
#include <string>
#include <string_view>

namespace comsetup {

// The message shown for a refused subnet mask (its wording, typo included, is the tool's own).
inline constexpr std::string_view kSubnetMaskMessage =
    "Error in SubNet Mask! The only values avaible are 255,254,252,248,240,224,192,128,0";

// The message for allowed bytes whose ones are not contiguous (such as 255.0.255.0).
inline constexpr std::string_view kNonContiguousMaskMessage =
    "The subnet mask must be contiguous ones followed by zeros, e.g. 255.255.255.0";

// The converter's local port: it cannot listen on 0, and 65536 is no port at all.
inline constexpr int kLocalPortMin = 1;
inline constexpr int kLocalPortMax = 65535;

// The baud rates any front end sends: the converter's menu takes the rate as typed digits, so
// a rate outside what serial lines run at (7, 99999999) is a typing slip, not a setting.
inline constexpr int kBaudRateMin = 50;
inline constexpr int kBaudRateMax = 921600;

// The message for a typed baud rate that is not digits within that range.
inline constexpr std::string_view kBaudRateMessage =
    "Baud rate must be digits only, 50 to 921600, such as 9600 or 14400";

// Operating modes as the wizard numbers them (its page state once a mode is chosen).
enum class OperatingMode : int {
    RemoteComPort = 1,
    TunnelPointToPoint = 2,
    TunnelPointToMultipoint = 3,
};

// True when the low 8 bits of value are one of 255,254,252,248,240,224,192,128,0.
bool IsAllowedMaskByte(int value);

// True when the mask, read as 32 bits (low 8 bits of each byte, first byte highest), is a
// run of ones followed by a run of zeros (0.0.0.0 and 255.255.255.255 included).
bool IsContiguousMask(const AddressBytes& mask);

// The full check done before a download: every byte allowed and the ones contiguous.
// Returns the message of the first fault (a byte outside the list, then the contiguity),
// nothing when the mask is accepted.
std::optional<std::string> CheckSubnetMask(const AddressBytes& mask);

// The value of a field's text when it is a whole decimal number (digits only, at most ten)
// within min..max; nothing otherwise (empty, a sign, a fraction, out of range).
std::optional<int> WholeNumberIn(std::string_view text, int min, int max);

// The refusal of a field whose text is not a whole number within its range:
// "<field> must be <min> to <max>", or, for a text that is no whole number at all (400.1,
// a sign, letters), "<field> must be a whole number, <min> to <max>".
std::string FieldRangeMessage(std::string_view field, std::string_view text, int min, int max);

// True when a baud rate text is sendable as typed: digits only, kBaudRateMin..kBaudRateMax.
// The one check of every front end (the wizard's box, the command line, the files).
bool IsBaudRateText(std::string_view text);

// The directed broadcast address of the network: ip with every host bit of mask set,
// byte by byte on the low 8 bits (192.168.1.200 / 255.255.255.0 -> 192.168.1.255).
AddressBytes DirectedBroadcast(const AddressBytes& ip, const AddressBytes& mask);

// Applies what the wizard's "DownLoad" does on top of copying the fields: the tunnel modes
// tick the tunnel "Enable" (a remote COM port leaves it as it is); the master side is copied
// into the broadcast answer and, when set, makes the peer address the directed broadcast
// address of the converter's own network. The mask must have passed CheckSubnetMask.
void ApplyOperatingMode(SetupValues& values, OperatingMode mode, bool masterSide);

// True when the mode offers the master side choice (only point to multipoint does).
bool ModeOffersMasterSide(OperatingMode mode);

} // namespace comsetup
