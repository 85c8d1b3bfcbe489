// Device names: how a port name typed or chosen by the user becomes a device path, and which
// serial devices the system has.
#pragma once

#include <string>
#include <vector>

namespace comsetup {

// POSIX: "COM1".."COM9" (any case) -> /dev/ttyS0../dev/ttyS8, unless the environment variable
// COMSETUP_COMn names another device; a name starting with '/' is a path and used as given.
// Windows: "COM1".."COM9" open as they are, "COM10" and above as "\\.\COMn".
// Any other name is returned unchanged.
std::string ResolvePortName(const std::string& name);

// The environment variable that can point name at another device ("COMSETUP_COM3" for "com3"
// on POSIX), for messages and the port list; empty where there is none (other names,
// Windows).
std::string PortNameVariable(const std::string& name);

// "COM<n>" in any case, n from 1 and at most three digits, gives n; anything else 0.
int ComNumber(const std::string& name);

struct SerialPortInfo {
    std::string path;        // e.g. /dev/ttyUSB0 or COM3; also the name to offer in port lists
    std::string description; // e.g. the USB product name or the friendly name, or empty
};

// The serial devices present, sorted by name (ttyS2 before ttyS10, COM2 before COM10).
// POSIX: /dev/ttyUSB*, /dev/ttyACM*, and /dev/ttyS* with real hardware. Windows: the ports of
// the system's serial device map.
std::vector<SerialPortInfo> ListSerialPorts();

} // namespace comsetup
