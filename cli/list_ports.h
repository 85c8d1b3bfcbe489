// The list-ports command: the serial devices found on the system, and the device each of the
// names COM1..COM9 opens (with the environment override that decides it, if any).
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace comsetup::cli {

nlohmann::json PortListJson();
std::string PortListText();

} // namespace comsetup::cli
