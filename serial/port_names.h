// Device names: how a port name typed or chosen by the user becomes a device path, and which
// serial devices the system has.
#pragma once

#include <string>
#include <vector>

namespace comsetup {

// "COM1".."COM9" (any case) -> /dev/ttyS0../dev/ttyS8, unless the environment variable
// COMSETUP_COMn names another device; a name starting with '/' is a path and used as given.
// Any other name is returned unchanged.
std::string ResolvePortName(const std::string& name);

struct SerialPortInfo {
    std::string path;        // e.g. /dev/ttyUSB0; also the name to offer in port lists
    std::string description; // e.g. the USB product name, or empty
};

// The serial devices present: /dev/ttyUSB*, /dev/ttyACM*, and /dev/ttyS* with real hardware,
// sorted by path (ttyS2 before ttyS10).
std::vector<SerialPortInfo> ListSerialPorts();

} // namespace comsetup
