// Windows port names: COM1..COM9 as they are, COM10 and above through the device namespace;
// the port list in COM-number order without duplicates.
#include "serial/error_causes.h"
#include "serial/port_names.h"

#include <gtest/gtest.h>

namespace {

using comsetup::ResolvePortName;

TEST(PortNamesWin32, ComNamesMapForCreateFile) {
    const struct {
        const char* name;
        const char* opened;
    } rows[] = {
        {"COM1", "COM1"},
        {"com9", "COM9"},
        {"COM10", "\\\\.\\COM10"},
        {"COM255", "\\\\.\\COM255"},
        {"\\\\.\\COM3", "\\\\.\\COM3"},
        {"LPT1", "LPT1"},
        {"COM", "COM"},
        {"COMX1", "COMX1"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ResolvePortName(row.name), row.opened) << row.name;
}

TEST(PortNamesWin32, ListIsInComNumberOrderWithoutDuplicates) {
    const auto ports = comsetup::ListSerialPorts();
    for (std::size_t i = 1; i < ports.size(); ++i) {
        EXPECT_NE(ports[i - 1].path, ports[i].path);
        const auto number = [](const std::string& p) {
            return p.rfind("COM", 0) == 0 ? std::atoi(p.c_str() + 3) : 1 << 20;
        };
        EXPECT_LE(number(ports[i - 1].path), number(ports[i].path))
            << ports[i - 1].path << " " << ports[i].path;
    }
}

TEST(Win32Errors, AccessDeniedIsThePortInUseAndOthersHaveTheSystemText) {
    EXPECT_EQ(comsetup::OpenErrorCause(5), "in use by another program");
    EXPECT_EQ(comsetup::OpenErrorCause(2), "no such device");
    const std::string other = comsetup::OpenErrorCause(1117); // ERROR_IO_DEVICE
    EXPECT_FALSE(other.empty());
    EXPECT_NE(other.back(), '.'); // trimmed for " (...)" use
}

} // namespace
