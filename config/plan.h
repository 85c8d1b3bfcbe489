// A plan: converters set up one after another, one CSV row each, so that a series of units
// gets its addresses and tunnel peers from one sheet instead of one command line per unit.
//
// The file is CSV (RFC 4180: quoted fields, "" for a quote inside them, CRLF or LF line ends)
// with a header row naming the same keys as the profile files (ip, mask, mode, peer, master,
// ...) plus "group". A value the row leaves empty, or a column the plan does not have, comes
// from the base setup the caller gives (the command line's --config and options). "none" is
// how a row says it has no gateway.
//
// Tunnel peers may name rows instead of addresses:
//   pair    point-to-point rows in twos: within a run of consecutive "pair" rows, the first
//           pairs with the second, the third with the fourth, and so on; each gets the
//           other's address. A run of odd length leaves its last row unmatched (refused).
//   master  a point-to-multipoint slave row gets the address of its group's master row
//           (master = true). A group is the rows with the same "group" value, or, for rows
//           without one, a run of consecutive point-to-multipoint rows. Each group that a
//           row names with "master" has exactly one master row.
// A row whose peer is a pair or master row sends to that row's local_port unless the row
// gives its own remote_port; other rows take remote_port from the row or the base setup.
// A point-to-point row and a point-to-multipoint slave row need a peer (an address, pair or
// master) in the plan itself; a master row sends the broadcast address and takes none.
//
// Reading checks everything before any unit is touched and lists every problem, each with
// the file's name, the line and the key: "plan.csv line 4, ip: ...".
#pragma once

#include "config/setup_options.h"

#include <cstddef>
#include <string>
#include <vector>

namespace comsetup::config {

// One record of a CSV text and the line it starts on (1 is the first line).
struct CsvRecord {
    int line = 0;
    std::vector<std::string> fields;
};

// Records of an RFC 4180 text; a UTF-8 byte order mark at the start is dropped, and lines
// holding nothing at all are skipped. Throws ValueError naming name and the line for a quote
// left open or a quote inside an unquoted field.
std::vector<CsvRecord> ReadCsv(const std::string& text, const std::string& name);

struct PlanRow {
    int number = 0; // 1 for the first converter of the plan
    int line = 0;   // the line of the file the row starts on
    SetupProfile setup;
    std::string peerCell;         // as written: an address, "pair", "master" or ""
    bool remotePortGiven = false; // the row has its own remote_port
};

struct Plan {
    std::string name; // the file as given, for messages
    std::string id;   // the file's name: its rows are told apart by their values
    std::vector<std::string> columns;
    std::vector<PlanRow> rows;
};

inline constexpr std::size_t kMaxPlanRows = 1000;

// The plan in text, its values on top of base. Throws ValueError whose text lists every
// problem found, one per line.
Plan ParsePlan(const std::string& text, const std::string& name, const SetupProfile& base);

// The same from a file (a plain readable file of at most kMaxConfigFileBytes).
Plan LoadPlanFile(const std::string& path, const SetupProfile& base);

// What tells a plan apart in the journal: the file's own name, without its folder, so a
// moved file is the same plan. Its rows are known by their values (config/plan_journal.h), so
// an edited plan keeps the rows it did not change.
std::string PlanId(const std::string& name);

} // namespace comsetup::config
