// Port-name mapping and the list of serial devices present, from /dev and sysfs.
#include "serial/port_names.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string_view>
#include <sys/stat.h>

namespace comsetup {
namespace {

std::string ReadFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool IsCharDevice(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// A ttyS node exists for every possible 8250 port; only those with a UART behind them have a
// known port type (sysfs "type" other than 0) or a driver other than the placeholder platform.
bool HasHardware(const std::string& ttyName) {
    const std::string base = "/sys/class/tty/" + ttyName;
    const std::string type = ReadFirstLine(base + "/type");
    if (!type.empty())
        return type != "0";
    struct stat st {};
    return ::stat((base + "/device/driver").c_str(), &st) == 0;
}

std::string UsbDescription(const std::string& ttyName) {
    // The tty's device is the USB interface; the product name sits on the USB device above it.
    const std::string base = "/sys/class/tty/" + ttyName + "/device/";
    for (const char* up : {"../product", "../../product"}) {
        std::string text = ReadFirstLine(base + up);
        if (!text.empty())
            return text;
    }
    return {};
}

// ttyS2 sorts before ttyS10.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1])))
            --i;
        const long n = i < s.size() ? std::strtol(s.c_str() + i, nullptr, 10) : -1;
        return std::make_pair(s.substr(0, i), n);
    };
    return split(a) < split(b);
}

} // namespace

std::string ResolvePortName(const std::string& name) {
    if (!name.empty() && name[0] == '/')
        return name;
    const int n = ComNumber(name);
    if (n <= 0)
        return name;
    const std::string var = PortNameVariable(name);
    if (const char* override = std::getenv(var.c_str()); override != nullptr && *override != 0)
        return override;
    return "/dev/ttyS" + std::to_string(n - 1);
}

std::string PortNameVariable(const std::string& name) {
    // The variable the program reads, however the port was spelt (com1, COM01).
    const int n = ComNumber(name);
    return n > 0 ? "COMSETUP_COM" + std::to_string(n) : std::string();
}

std::vector<SerialPortInfo> ListSerialPorts() {
    std::vector<SerialPortInfo> ports;
    DIR* dir = ::opendir("/dev");
    if (dir == nullptr)
        return ports;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string path = "/dev/" + name;
        auto startsWith = [&](std::string_view prefix) { return name.rfind(prefix, 0) == 0; };
        const bool usb = startsWith("ttyUSB") || startsWith("ttyACM");
        const bool uart = startsWith("ttyS");
        if ((!usb && !uart) || name.size() <= 4 || !IsCharDevice(path))
            continue;
        if (uart && !HasHardware(name))
            continue;
        ports.push_back({path, usb ? UsbDescription(name) : std::string()});
    }
    ::closedir(dir);
    std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        return NaturalLess(a.path, b.path);
    });
    return ports;
}

} // namespace comsetup
