// The rule every LAN probe stands on (only on-link addresses, never through a gateway) and the
// texts the user reads, from plain values: no network is touched and nothing is sent here
// (probes run only in `unshare --net` namespaces: tests/lan/lan_namespace_test.cpp).
#include "config/lan_check.h"
#include "lan/ipv4.h"

#include <gtest/gtest.h>

using namespace comsetup;
using lan::Interface;

namespace {

Interface Iface(const std::string& name, const std::string& address, int prefix, bool up = true,
                bool loopback = false) {
    Interface i;
    i.name = name;
    i.address = *lan::ParseIpv4(address);
    i.prefix = prefix;
    i.up = up;
    i.loopback = loopback;
    return i;
}

} // namespace

TEST(LanRules, AddressesParseAndPrintAsDottedQuads) {
    EXPECT_EQ(lan::ParseIpv4("192.168.1.200"), 0xC0A801C8u);
    EXPECT_EQ(lan::FormatIpv4(0xC0A801C8u), "192.168.1.200");
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.4 ",
                            "0001.2.3.4", "a.b.c.d", "-1.2.3.4"}) {
        EXPECT_FALSE(lan::ParseIpv4(bad)) << bad;
    }
    EXPECT_EQ(lan::PrefixMask(24), 0xFFFFFF00u);
    EXPECT_EQ(lan::PrefixMask(0), 0u);
    EXPECT_EQ(lan::PrefixMask(32), 0xFFFFFFFFu);
    EXPECT_EQ(lan::MaskPrefix(0xFFFF0000u), 16);
    EXPECT_FALSE(lan::MaskPrefix(0xFF00FF00u));
    EXPECT_EQ(lan::FormatMac({0x02, 0x00, 0x5e, 0x10, 0x00, 0x01}), "02:00:5e:10:00:01");
}

// Which interface, if any, may carry a probe of an address.
TEST(LanRules, OnlyAnAddressInsideOneOfThePcsSubnetsIsOnLink) {
    const std::vector<Interface> pc{
        Iface("lo", "127.0.0.1", 8, true, true), Iface("eth0", "10.0.0.5", 24),
        Iface("wlan0", "192.168.1.20", 24, false), Iface("usb0", "192.168.1.30", 25),
        Iface("ppp0", "172.16.0.2", 32)};
    struct Case {
        const char* address;
        const char* via; // nullptr: off-link, nothing may be sent
    } cases[] = {
        {"10.0.0.77", "eth0"},      {"10.0.1.77", nullptr}, // only a gateway could reach it
        {"10.0.0.5", nullptr},                              // the PC's own address
        {"10.0.0.0", nullptr},                              // the subnet itself
        {"10.0.0.255", nullptr},                            // its broadcast
        {"127.0.0.9", nullptr},                             // loopback is no LAN
        {"172.16.0.2", nullptr},    // a point-to-point /32 has no neighbours
        {"192.168.1.100", "usb0"},  // up beats down
        {"192.168.1.200", "wlan0"}, // only the down interface holds it
        {"192.168.2.200", nullptr},
    };
    for (const Case& c : cases) {
        const auto via = lan::OnLinkInterface(pc, *lan::ParseIpv4(c.address));
        if (c.via == nullptr) {
            EXPECT_FALSE(via) << c.address << " via " << via->name;
        } else {
            ASSERT_TRUE(via) << c.address;
            EXPECT_EQ(via->name, c.via) << c.address;
        }
    }
    EXPECT_FALSE(lan::OnLinkInterface({}, *lan::ParseIpv4("192.168.1.200")));
}

TEST(LanRules, TextsNameTheAddressTheInterfaceAndWhatWasFound) {
    const auto address = *lan::ParseIpv4("192.168.1.200");
    EXPECT_EQ(config::OffLinkText(address, {Iface("lo", "127.0.0.1", 8, true, true),
                                            Iface("eth0", "10.0.0.5", 24)}),
              "192.168.1.200 is not on this PC's networks (eth0 10.0.0.5/24): this PC cannot "
              "reach it directly");
    EXPECT_EQ(config::OffLinkText(address, {}),
              "192.168.1.200 is not on this PC's networks (none): this PC cannot reach it "
              "directly");

    config::LanBefore before;
    before.via = Iface("eth0", "192.168.1.1", 24);
    before.probe.mac = lan::Mac{0x02, 0x00, 0x5e, 0x10, 0x00, 0x01};
    EXPECT_EQ(config::WriteAnywayQuestion(address, before),
              "192.168.1.200 already answers on eth0 (MAC 02:00:5e:10:00:01). If that is not "
              "this converter, two devices will share the address. Write it anyway?");
    EXPECT_EQ(config::LookingText(address, *before.via, 6400),
              "looking for 192.168.1.200 on eth0\u2026 6 s");

    config::LanCheckOptions options;
    config::LanAfter after;
    after.tried = true;
    after.waitedMs = 4200;
    after.probe.mac = before.probe.mac;
    after.probe.tcp = lan::TcpState::Open;
    EXPECT_EQ(config::AfterText(address, 10001, after, options),
              "answers at 192.168.1.200 (MAC 02:00:5e:10:00:01, TCP port 10001 open) after 4.2 s");
    after.probe = {};
    after.probe.tcp = lan::TcpState::NoAnswer;
    after.waitedMs = 30000;
    EXPECT_EQ(config::AfterText(address, 10001, after, options),
              "no answer from 192.168.1.200 within 30 s");
    after.cancelled = true;
    after.waitedMs = 3000;
    EXPECT_EQ(config::AfterText(address, 10001, after, options),
              "stopped looking for 192.168.1.200 after 3.0 s (cancelled): the setup is complete");
    EXPECT_EQ(config::InterfaceFacts({Iface("lo", "127.0.0.1", 8, true, true),
                                      Iface("eth0", "192.168.1.1", 24),
                                      Iface("wlan0", "10.1.0.3", 16, false)}),
              "this PC: eth0 192.168.1.1/24 up, wlan0 10.1.0.3/16 down");
}
