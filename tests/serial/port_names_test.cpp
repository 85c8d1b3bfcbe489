// Port-name mapping and the device list.
#include "serial/port_names.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using comsetup::ResolvePortName;

TEST(PortNames, ComNamesMapToTtyS) {
    ::unsetenv("COMSETUP_COM1");
    ::unsetenv("COMSETUP_COM2");
    ::unsetenv("COMSETUP_COM9");
    EXPECT_EQ(ResolvePortName("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortName("Com2"), "/dev/ttyS1");
    EXPECT_EQ(ResolvePortName("com9"), "/dev/ttyS8");
}

TEST(PortNames, EnvironmentOverridesAndPathsPassThrough) {
    ::setenv("COMSETUP_COM3", "/tmp/converter", 1);
    EXPECT_EQ(ResolvePortName("COM3"), "/tmp/converter");
    ::setenv("COMSETUP_COM3", "", 1); // empty: no override
    EXPECT_EQ(ResolvePortName("COM3"), "/dev/ttyS2");
    ::unsetenv("COMSETUP_COM3");
    EXPECT_EQ(ResolvePortName("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortName("COM"), "COM");
    EXPECT_EQ(ResolvePortName("COM0"), "COM0");
    EXPECT_EQ(ResolvePortName("COMX"), "COMX");
    EXPECT_EQ(ResolvePortName("ttyUSB0"), "ttyUSB0");
}

TEST(PortNames, ListedPortsAreSerialCharacterDevicesInNaturalOrder) {
    const auto ports = comsetup::ListSerialPorts();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const std::string& p = ports[i].path;
        EXPECT_TRUE(p.rfind("/dev/ttyUSB", 0) == 0 || p.rfind("/dev/ttyACM", 0) == 0 ||
                    p.rfind("/dev/ttyS", 0) == 0)
            << p;
        struct stat st {};
        EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << p;
        if (i > 0) {
            EXPECT_NE(ports[i - 1].path, p);
        }
    }
}

} // namespace
