// The probe and the wait on a real (namespaced) network: the test's thread enters a "PC"
// namespace whose only link is a veth to a "LAN" namespace of the test's own, where devices
// are played with addresses put on the far end. LanNamespaces makes both with `unshare --net`
// (tests/support/lan_namespaces.cpp); nothing leaves them, and where they cannot be made the
// tests are skipped, never run on the machine's own network.
#include "config/lan_check.h"
#include "lan/interfaces.h"
#include "lan/probe.h"
#include "tests/support/lan_namespaces.h"

#include <gtest/gtest.h>

#include <thread>

using namespace comsetup;
using comsetup::RealPacer;
using comsetup::RealPacerOptions;
using comsetup::test::LanNamespaces;
using namespace std::chrono_literals;

namespace {

class LanNamespace : public ::testing::Test {
protected:
    void SetUp() override {
        std::string whyNot;
        net_ = LanNamespaces::Make(whyNot);
        if (!net_) {
            GTEST_SKIP() << "no network namespaces here: " << whyNot;
        }
        entered_ = net_->EnterPc(whyNot);
        if (!entered_) {
            GTEST_SKIP() << whyNot;
        }
    }
    void TearDown() override {
        entered_.reset(); // back to the namespace the test started in
        net_.reset();
    }
    // A device at address on the LAN side (a second address on the veth's far end).
    void DeviceAt(const std::string& address) {
        ASSERT_TRUE(net_->RunInLan("ip addr add " + address + "/24 dev lan0"));
    }

    const lan::Ipv4 converter_ = *lan::ParseIpv4("192.168.1.200");
    std::unique_ptr<LanNamespaces> net_;
    std::unique_ptr<LanNamespaces::Entered> entered_;
};

} // namespace

// The interfaces as the PC's namespace has them: the veth's end with its subnet, and lo.
TEST_F(LanNamespace, InterfacesAreThoseOfThePcsNamespace) {
    const auto interfaces = lan::ListInterfaces();
    ASSERT_EQ(interfaces.size(), 2u);
    const auto via = lan::OnLinkInterface(interfaces, converter_);
    ASSERT_TRUE(via);
    EXPECT_EQ(via->name, "pc0");
    EXPECT_EQ(lan::FormatIpv4(via->address), "192.168.1.1");
    EXPECT_EQ(via->prefix, 24);
    EXPECT_TRUE(via->up);
}

// An address off the PC's subnets: the refusal names the networks, and not one packet leaves.
TEST_F(LanNamespace, OffLinkAddressIsRefusedAndNothingIsSent) {
    RealPacer pacer(nullptr, RealPacerOptions{.realTimePriority = false});
    const std::uint64_t sentBefore = net_->PcPacketsSent();
    const lan::Ipv4 elsewhere = *lan::ParseIpv4("192.168.7.200");
    const config::LanBefore before = config::CheckBeforeWrite(elsewhere, 10001, {}, pacer);
    const lan::ProbeResult direct = lan::Probe(elsewhere, 10001, 500ms);
    EXPECT_FALSE(before.OnLink());
    EXPECT_FALSE(before.probe.sent);
    EXPECT_FALSE(direct.sent);
    EXPECT_EQ(config::OffLinkText(elsewhere, before.interfaces),
              "192.168.7.200 is not on this PC's networks (pc0 192.168.1.1/24): this PC cannot "
              "reach it directly");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(net_->PcPacketsSent(), sentBefore);
}

// Free, taken with its port closed, taken with its port open: what one probe tells.
TEST_F(LanNamespace, ProbeTellsFreeFromTakenAndOpenFromRefused) {
    const std::uint64_t sentBefore = net_->PcPacketsSent();
    const lan::ProbeResult free = lan::Probe(converter_, 10001, 300ms);
    EXPECT_TRUE(free.sent);
    EXPECT_FALSE(free.Answered());
    EXPECT_FALSE(free.mac);
    EXPECT_EQ(free.tcp, lan::TcpState::NoAnswer);
    EXPECT_GT(net_->PcPacketsSent(), sentBefore); // the resolution went out on pc0

    DeviceAt("192.168.1.200");
    const lan::ProbeResult refused = lan::Probe(converter_, 10001, 1000ms);
    EXPECT_TRUE(refused.Answered());
    ASSERT_TRUE(refused.mac);
    EXPECT_EQ(lan::FormatMac(*refused.mac), LanNamespaces::kLanMac);
    EXPECT_EQ(refused.tcp, lan::TcpState::Refused);
    EXPECT_TRUE(refused.roundTrip);

    const lan::ProbeResult neighbourOnly = lan::Probe(converter_, 0, 1000ms);
    EXPECT_TRUE(neighbourOnly.mac);
    EXPECT_EQ(neighbourOnly.tcp, lan::TcpState::NotTried);
}

// The check before the write finds the device that holds the address already.
TEST_F(LanNamespace, CheckBeforeWriteFindsTheAddressTaken) {
    DeviceAt("192.168.1.200");
    RealPacer pacer(nullptr, RealPacerOptions{.realTimePriority = false});
    const config::LanBefore before = config::CheckBeforeWrite(converter_, 10001, {}, pacer);
    ASSERT_TRUE(before.OnLink());
    EXPECT_TRUE(before.Answered());
    EXPECT_EQ(config::WriteAnywayQuestion(converter_, before),
              "192.168.1.200 already answers on pc0 (MAC 02:00:5e:10:00:01). If that is not "
              "this converter, two devices will share the address. Write it anyway?");
}

// The wait after the write: a device that comes up later is found, with the time it took; a
// Cancel ends the wait at once; nothing found within the wait says so.
TEST_F(LanNamespace, WaitFindsTheConverterWhenItComesUpAndCancelEndsIt) {
    RealPacer pacer(nullptr, RealPacerOptions{.realTimePriority = false});
    config::LanCheckOptions options;
    options.wait = 5s;
    std::atomic<bool> cancel{false};
    std::thread later([this] {
        std::this_thread::sleep_for(1200ms);
        DeviceAt("192.168.1.200");
    });
    std::vector<int> ticks;
    const config::LanAfter found = config::WaitForConverter(
        converter_, 10001, options, pacer, cancel, [&](int ms) { ticks.push_back(ms); });
    later.join();
    EXPECT_TRUE(found.tried);
    EXPECT_TRUE(found.Found());
    EXPECT_GE(found.waitedMs, 1200);
    EXPECT_LT(found.waitedMs, 5000);
    ASSERT_FALSE(ticks.empty());
    EXPECT_TRUE(std::is_sorted(ticks.begin(), ticks.end()));

    const lan::Ipv4 absent = *lan::ParseIpv4("192.168.1.201");
    options.wait = 1s;
    const config::LanAfter none =
        config::WaitForConverter(absent, 10001, options, pacer, cancel, {});
    EXPECT_TRUE(none.tried);
    EXPECT_FALSE(none.Found());
    EXPECT_FALSE(none.cancelled);
    EXPECT_EQ(none.waitedMs, 1000);

    options.wait = 30s;
    std::thread press([&cancel] {
        std::this_thread::sleep_for(700ms);
        cancel.store(true);
    });
    const config::LanAfter cancelled =
        config::WaitForConverter(absent, 10001, options, pacer, cancel, {});
    press.join();
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.Found());
    EXPECT_LT(cancelled.waitedMs, 2000);
}
