// Port-name mapping and the list of serial ports present, from the registry's SERIALCOMM
// device map, with friendly names from the Ports device class where the system has them.
#include "serial/port_names.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <windows.h>
// windows.h first: the setup API headers need its types.
#include <devguid.h>
#include <setupapi.h>

namespace comsetup {
namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Friendly names ("USB Serial Port (COM3)") by port name, from the Ports device class.
std::map<std::string, std::string> FriendlyNames() {
    std::map<std::string, std::string> names;
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return names;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        char port[64] = {};
        DWORD size = sizeof port - 1;
        DWORD type = 0;
        const bool havePort =
            RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(port),
                             &size) == ERROR_SUCCESS &&
            type == REG_SZ;
        RegCloseKey(key);
        char friendly[256] = {};
        if (havePort && SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_FRIENDLYNAME, nullptr,
                                                          reinterpret_cast<BYTE*>(friendly),
                                                          sizeof friendly - 1, nullptr))
            names[Upper(port)] = friendly;
    }
    SetupDiDestroyDeviceInfoList(set);
    return names;
}

} // namespace

std::string ResolvePortName(const std::string& name) {
    const int n = ComNumber(name);
    if (n <= 0)
        return name;
    // COM names are the same port in any case: one spelling, so two names of one port compare
    // equal. COM1..COM9 open as they are; the device namespace prefix opens COM10 and above.
    const std::string com = "COM" + std::to_string(n);
    return n >= 10 ? "\\\\.\\" + com : com;
}

std::string PortNameVariable(const std::string&) {
    return {}; // COM names open the system's ports; nothing in the environment moves them
}

std::vector<SerialPortInfo> ListSerialPorts() {
    std::vector<SerialPortInfo> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return ports;
    const auto friendly = FriendlyNames();
    for (DWORD i = 0;; ++i) {
        char valueName[256];
        DWORD nameSize = sizeof valueName;
        char data[64] = {};
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LONG rc = RegEnumValueA(key, i, valueName, &nameSize, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS || type != REG_SZ || data[0] == 0)
            continue;
        const std::string port = data;
        const auto it = friendly.find(Upper(port));
        ports.push_back({port, it != friendly.end() ? it->second : std::string()});
    }
    RegCloseKey(key);
    // COM2 before COM10; other names after the COM ports, by name.
    std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        const int na = ComNumber(a.path), nb = ComNumber(b.path);
        if ((na > 0) != (nb > 0))
            return na > 0;
        return na != nb ? na < nb : a.path < b.path;
    });
    ports.erase(std::unique(ports.begin(), ports.end(),
                            [](const SerialPortInfo& a, const SerialPortInfo& b) {
                                return a.path == b.path;
                            }),
                ports.end());
    return ports;
}

} // namespace comsetup
