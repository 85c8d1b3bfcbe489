// Listing of serial devices and the COM name mapping.
#include "cli/list_ports.h"

#include "cli/platform.h"
#include "core/printable_text.h"
#include "serial/port_names.h"

#include <cstdlib>

namespace comsetup::cli {

namespace {

constexpr int kComNames = 9;

} // namespace

nlohmann::json PortListJson() {
    nlohmann::json result;
    result["devices"] = nlohmann::json::array();
    for (const auto& port : ListSerialPorts()) {
        nlohmann::json device;
        device["path"] = port.path;
        device["description"] = port.description;
        nlohmann::json names = nlohmann::json::array();
        for (int n = 1; n <= kComNames; ++n) {
            const std::string name = "COM" + std::to_string(n);
            if (ResolvePortName(name) == port.path) {
                names.push_back(name);
            }
        }
        device["com_names"] = names;
        result["devices"].push_back(device);
    }
    result["com_names"] = nlohmann::json::array();
    for (int n = 1; n <= kComNames; ++n) {
        const std::string name = "COM" + std::to_string(n);
        const std::string variable = PortNameVariable(name);
        const std::string device = ResolvePortName(name);
        nlohmann::json entry;
        entry["name"] = name;
        entry["device"] = device;
        entry["state"] = DeviceState(device);
        const char* override = variable.empty() ? nullptr : std::getenv(variable.c_str());
        entry["set_by"] = override != nullptr && *override != '\0' ? nlohmann::json(variable)
                                                                   : nlohmann::json(nullptr);
        result["com_names"].push_back(entry);
    }
    return result;
}

std::string PortListText() {
    const nlohmann::json list = PortListJson();
    std::string text = "Serial devices found:\n";
    if (list["devices"].empty()) {
        text += "  (none)\n";
    }
    for (const auto& device : list["devices"]) {
        text += "  " + PrintableDeviceName(device["path"].get<std::string>());
        if (!device["description"].get<std::string>().empty()) {
            text += "  " + device["description"].get<std::string>();
        }
        for (const auto& name : device["com_names"]) {
            text += "  (" + name.get<std::string>() + ")";
        }
        text += "\n";
    }
    text += "COM names:\n";
    for (const auto& entry : list["com_names"]) {
        text += "  " + entry["name"].get<std::string>() + " -> " +
                PrintableDeviceName(entry["device"].get<std::string>()) + "  " +
                entry["state"].get<std::string>();
        if (!entry["set_by"].is_null()) {
            text += "  (set by " + entry["set_by"].get<std::string>() + ")";
        }
        text += "\n";
    }
    return text;
}

} // namespace comsetup::cli
