// Setup values of a profile (both front ends): parsing of each kind of value, the wizard's defaults
// and the mapping onto the values the download reads.
#include "config/setup_options.h"

#include "download/setup_rules.h"

#include <gtest/gtest.h>

#include <string>

using namespace comsetup;
using namespace comsetup::config;

namespace {

std::string MessageOf(void (*call)(const std::string&), const std::string& text) {
    try {
        call(text);
    } catch (const ValueError& error) {
        return error.what();
    }
    return {};
}

} // namespace

TEST(SetupOptions, IpAddressesAcceptDottedQuadsOnly) {
    EXPECT_EQ(ParseIpv4("10.0.0.5"), (Ipv4{10, 0, 0, 5}));
    EXPECT_EQ(ParseIpv4(" 255.255.255.255 "), (Ipv4{255, 255, 255, 255}));
    EXPECT_EQ(ParseIpv4("0.0.0.0"), (Ipv4{0, 0, 0, 0}));
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.-4", "1.2.3.+4",
                            "a.b.c.d", "1.2.3.4x", "0001.2.3.4", "1,2,3,4", "1.2.3.99999999999"}) {
        EXPECT_THROW(ParseIpv4(bad), ValueError) << bad;
    }
    const std::string message = MessageOf([](const std::string& t) { ParseIpv4(t); }, "300.1.1.1");
    EXPECT_NE(message.find("\"300.1.1.1\""), std::string::npos) << message;
    EXPECT_NE(message.find("0-255"), std::string::npos) << message;
}

TEST(SetupOptions, MaskRefusalCarriesTheMaskMessage) {
    EXPECT_EQ(ParseMask("255.255.255.0"), (Ipv4{255, 255, 255, 0}));
    EXPECT_EQ(ParseMask("255.255.254.0"), (Ipv4{255, 255, 254, 0}));
    EXPECT_EQ(ParseMask("0.0.0.0"), (Ipv4{0, 0, 0, 0}));
    // A byte outside the list, and allowed bytes whose ones are not contiguous.
    struct Case {
        const char* mask;
        std::string_view message;
    };
    for (const Case& c :
         {Case{"255.255.255.1", kSubnetMaskMessage}, Case{"255.0.255.0", kNonContiguousMaskMessage},
          Case{"255.255.0.255", kNonContiguousMaskMessage},
          Case{"0.255.255.255", kNonContiguousMaskMessage}}) {
        const std::string message = MessageOf([](const std::string& t) { ParseMask(t); }, c.mask);
        EXPECT_NE(message.find(std::string(c.message)), std::string::npos) << c.mask;
    }
}

TEST(SetupOptions, ChoicesAcceptTheirNamesAndListThemWhenRefused) {
    EXPECT_EQ(ParseParity("EVEN"), 2);
    EXPECT_EQ(ParseStopBits("2"), 1);
    EXPECT_EQ(ParseFlow("cts-rts"), 2);
    EXPECT_EQ(ParseFlow("XON/XOFF pass characters to host"), 3);
    EXPECT_EQ(ParseMode("point-to-multipoint"), Mode::PointToMultipoint);
    EXPECT_EQ(ParseBaud("115200"), 115200);
    EXPECT_EQ(ParseGateway("none"), std::nullopt);
    EXPECT_EQ(ParseGateway("10.0.0.1"), (Ipv4{10, 0, 0, 1}));

    const std::string parity = MessageOf([](const std::string& t) { ParseParity(t); }, "mark");
    EXPECT_NE(parity.find("none, odd, even"), std::string::npos) << parity;
    // The wizard's rule for a rate: any whole number a serial line runs at, with a warning
    // when it is off the usual list.
    EXPECT_EQ(ParseBaud("14400"), 14400);
    EXPECT_EQ(BaudRateWarning(115200), "");
    EXPECT_NE(BaudRateWarning(14400).find("300, 600, 1200"), std::string::npos);
    const std::string baud = MessageOf([](const std::string& t) { ParseBaud(t); }, "7");
    EXPECT_NE(baud.find("50 to 921600"), std::string::npos) << baud;
    EXPECT_NE(baud.find("230400"), std::string::npos) << baud;
    for (const char* bad : {"9600x", "", "921601", "-9600", "96.00"}) {
        EXPECT_THROW(ParseBaud(bad), ValueError) << bad;
    }
    EXPECT_THROW(ParseStopBits("1.5"), ValueError);
    EXPECT_THROW(ParseMode("tunnel"), ValueError);
    EXPECT_THROW(ParsePortName("  "), ValueError);
}

TEST(SetupOptions, LocalPortMustBeAUsableTcpPort) {
    EXPECT_EQ(ParseTcpPort("1"), 1);
    EXPECT_EQ(ParseTcpPort("65535"), 65535);
    for (const char* bad : {"0", "65536", "-1", "10001.5", "", "port"}) {
        EXPECT_THROW(ParseTcpPort(bad), ValueError) << bad;
    }
}

TEST(SetupOptions, EveryFieldReadsBackWhatItsParserTakes) {
    SetupProfile setup;
    setup.mode = Mode::PointToMultipoint;
    setup.gateway = Ipv4{10, 1, 2, 3};
    setup.parityIndex = 1;
    setup.stopBitsIndex = 1;
    setup.flowIndex = 3;
    setup.baud = 230400;
    SetupProfile copy;
    for (const auto& field : SetupFields()) {
        field.apply(copy, FieldText(setup, field));
    }
    copy.master = setup.master;
    EXPECT_EQ(copy, setup);
}

TEST(SetupMapping, DefaultsAreTheWizardsAndReachTheDownloadUnchanged) {
    const SetupValues values = ToSetupValues(SetupProfile{});
    EXPECT_EQ(values.portName, "COM1");
    EXPECT_EQ(values.ip, (AddressBytes{192, 168, 1, 200}));
    EXPECT_EQ(values.mask, (AddressBytes{255, 255, 255, 0}));
    EXPECT_FALSE(values.useGateway);
    EXPECT_EQ(values.baudText, "9600");
    EXPECT_EQ(values.dataBitsText, "8");
    EXPECT_EQ(values.localPortText, "10001");
    EXPECT_EQ(values.parityIndex, 0);
    EXPECT_EQ(values.stopBitsIndex, 0);
    EXPECT_EQ(values.flowIndex, 0);
    // A remote COM port leaves the tunnel off, but the wizard's peer bytes are still copied.
    EXPECT_FALSE(values.tunnel);
    EXPECT_EQ(values.remote, (AddressBytes{192, 168, 1, 201}));
    EXPECT_EQ(values.remotePort, 10001);
    EXPECT_FALSE(values.broadcast);
}

TEST(SetupMapping, ModesSetTunnelAndMasterTakesTheNetworksBroadcastAddress) {
    SetupProfile setup;
    setup.mode = Mode::PointToPoint;
    setup.peer = Ipv4{10, 0, 0, 9};
    SetupValues values = ToSetupValues(setup);
    EXPECT_TRUE(values.tunnel);
    EXPECT_FALSE(values.broadcast);
    EXPECT_EQ(values.remote, (AddressBytes{10, 0, 0, 9}));

    setup.mode = Mode::PointToMultipoint;
    values = ToSetupValues(setup);
    EXPECT_TRUE(values.tunnel);
    EXPECT_EQ(values.remote, (AddressBytes{10, 0, 0, 9}));

    setup.master = true;
    setup.ip = Ipv4{10, 0, 0, 5};
    setup.mask = Ipv4{255, 255, 255, 0};
    values = ToSetupValues(setup);
    EXPECT_TRUE(values.broadcast);
    EXPECT_EQ(values.remote, (AddressBytes{10, 0, 0, 255}));

    // Not the /24 network the address bytes suggest: the mask decides.
    setup.mask = Ipv4{255, 255, 0, 0};
    EXPECT_EQ(ToSetupValues(setup).remote, (AddressBytes{10, 0, 255, 255}));
    setup.mask = Ipv4{255, 255, 255, 252};
    EXPECT_EQ(ToSetupValues(setup).remote, (AddressBytes{10, 0, 0, 7}));
}

TEST(SetupMapping, GatewayIsUsedOnlyWhenGiven) {
    SetupProfile setup;
    setup.gateway = Ipv4{192, 168, 1, 1};
    const SetupValues values = ToSetupValues(setup);
    EXPECT_TRUE(values.useGateway);
    EXPECT_EQ(values.gateway, (AddressBytes{192, 168, 1, 1}));
}

TEST(SetupMapping, ConsistencyRefusesMasterOutsideMultipoint) {
    SetupProfile setup;
    setup.master = true;
    EXPECT_NE(CheckConsistency(setup).find("point-to-multipoint"), std::string::npos);
    setup.mode = Mode::PointToMultipoint;
    EXPECT_EQ(CheckConsistency(setup), "");
}
