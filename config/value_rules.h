// The one rule on what a setup's values may be together, whichever front end gathered them:
// the wizard ("DownLoad", "Save...", "Open..."), the command line (download, dry-run), batch
// files and plans. A value no converter can work with is refused before anything is sent; a
// value that is unusual but workable is sent, with a warning the front end shows.
//
// Refused:
//   - a local or remote port outside 1..65535;
//   - a master side outside the point-to-multipoint mode, a mask the converter does not take;
//   - the converter's address 0.0.0.0, 255.255.255.255, or the network or broadcast address
//     of its own subnet (masks that leave at least two host bits);
//   - a gateway outside the converter's subnet, equal to the converter's address, or the
//     network or broadcast address of that subnet;
//   - in the tunnel modes (not on a master side, which sends to its broadcast address): a peer
//     equal to the converter's own address;
//   - a point-to-multipoint slave whose master (its peer) is outside the slave's subnet: the
//     master answers the slaves on its subnet's broadcast address.
// Warned of:
//   - a baud rate off the usual list;
//   - a point-to-point peer outside the subnet with no gateway set (reachable only when the
//     network routes it).
#pragma once

#include "config/setup_options.h"

#include <string>
#include <vector>

namespace comsetup::config {

struct ValueRuling {
    std::string refusal;               // empty: the values may be sent; else "<key>: why"
    std::vector<std::string> warnings; // sent as they are, with these said
};

// The ruling on setup's values. Pure; every front end calls it (CheckConsistency is its
// refusal alone).
ValueRuling CheckSetupValues(const SetupProfile& setup);

// "192.168.1.0/255.255.255.0": the subnet of address under mask, as messages name it.
std::string SubnetText(const Ipv4& address, const Ipv4& mask);

} // namespace comsetup::config
