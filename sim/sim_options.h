// Command line of comsetup-sim:
//   comsetup-sim --firmware 01.8|V6.5.0.7 [--link PATH] [--off-time MS] [--json FILE]
//                [--fail MODE] [--once] [--quiet] [--restart-time MS] [--idle-time MS]
//                [--no-realtime] [--spin] [--lan IFACE [--boot-time MS] [--lan-fail MODE]]
//   comsetup-sim --help | --version
#pragma once

#include "sim/converter_model.h"
#include "sim/lan_presence.h"

#include <optional>
#include <string>
#include <vector>

namespace comsetup::sim {

struct SimOptions {
    ModelOptions model;
    std::string linkPath; // empty: no symlink
    std::string jsonPath; // empty: no JSON file
    bool once = false;    // exit after the first session ends
    bool quiet = false;   // no event log on stderr
    bool realtime = true; // ask for a real-time priority, so timestamps are taken on arrival
    bool spin = false;    // watch the line without sleeping (pause measurements)
    LanOptions lan;       // --lan IFACE: the converter comes up there after a download
    bool help = false;
    bool version = false; // print the version and exit
};

struct ParseResult {
    std::optional<SimOptions> options; // empty on an error
    std::string error;                 // names the faulty argument
};

ParseResult ParseSimOptions(const std::vector<std::string>& args);
std::string SimUsage();

} // namespace comsetup::sim
