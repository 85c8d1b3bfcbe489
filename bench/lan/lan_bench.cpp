// The LAN check's costs, inside a "PC" and a "LAN" network namespace of the benchmark's own
// (tests/support/lan_namespaces.h, made with `unshare --net` and joined by a veth): nothing
// leaves them. Root only (the benchmark's threads enter the namespaces); without a namespace
// it stops before any probe.
//
//   comsetup_lan_bench [--rounds N]
//
// 1. The check before the write for an off-link address: time, packets on pc0.
// 2. For an on-link free address: time (the probe's own limit; the kernel would go on
//    resolving for its own time), packets.
// 3. For an address another device holds (port closed): time to the answer.
// 4. After the write: the delay from the address coming up on the LAN side to the wait
//    reporting it, with the stand-in's way of coming up (address, then a gratuitous ARP) and
//    with a device that does not announce itself.
#include "config/lan_check.h"
#include "sim/lan_presence.h"
#include "tests/support/lan_namespaces.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace comsetup;
using Clock = std::chrono::steady_clock;
using test::LanNamespaces;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Stats {
    std::vector<double> values;
    void Add(double v) { values.push_back(v); }
    void Print(const char* what) {
        std::sort(values.begin(), values.end());
        const auto at = [&](double q) {
            return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
        };
        std::printf("%-48s median %9.3f ms  min %9.3f  max %9.3f  (n=%zu)\n", what, at(0.5),
                    values.front(), values.back(), values.size());
    }
};

// Time of the check before the write, and the packets it sent on pc0.
void BeforeWrite(const LanNamespaces& net, const char* what, lan::Ipv4 address, int rounds) {
    RealPacer pacer(nullptr, RealPacerOptions{.realTimePriority = false});
    Stats time;
    std::uint64_t packets = 0;
    for (int i = 0; i < rounds; ++i) {
        const std::uint64_t before = net.PcPacketsSent();
        const auto start = Clock::now();
        const config::LanBefore result = config::CheckBeforeWrite(address, 10001, {}, pacer);
        time.Add(Ms(Clock::now() - start));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        packets += net.PcPacketsSent() - before;
        (void)result;
    }
    time.Print(what);
    std::printf("%-48s %.1f packets per check on pc0\n", "", static_cast<double>(packets) / rounds);
}

void LogUp(void* context, const std::string& text) {
    if (text.rfind("on the LAN:", 0) == 0) {
        static_cast<std::atomic<Clock::rep>*>(context)->store(
            Clock::now().time_since_epoch().count());
    }
}

// The delay from the address coming up to the wait reporting it.
void AfterWrite(const LanNamespaces& net, bool announced, int rounds) {
    RealPacer pacer(nullptr, RealPacerOptions{.realTimePriority = false});
    const lan::Ipv4 address = *lan::ParseIpv4("192.168.1.200");
    std::mt19937 random(7);
    Stats delay;
    for (int i = 0; i < rounds; ++i) {
        std::atomic<Clock::rep> upAt{0};
        const auto upAfter = std::chrono::milliseconds(1000 + random() % 1000);
        std::thread device([&] {
            std::string whyNot;
            auto entered = net.EnterLan(whyNot);
            std::this_thread::sleep_for(upAfter);
            if (announced) {
                sim::LanOptions options;
                options.interface = "lan0";
                options.bootTime = std::chrono::milliseconds(0);
                sim::LanPresence presence(options, &LogUp, &upAt);
                sim::ConverterSettings settings;
                settings.ip = {192, 168, 1, 200};
                presence.Restart(settings);
                std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            } else {
                const auto before = Clock::now();
                net.RunInLan("ip addr add 192.168.1.200/24 dev lan0");
                (void)before;
                upAt.store(Clock::now().time_since_epoch().count()); // the command has returned
                std::this_thread::sleep_for(std::chrono::milliseconds(2500));
                net.RunInLan("ip addr del 192.168.1.200/24 dev lan0");
            }
        });
        config::LanCheckOptions options;
        options.wait = std::chrono::seconds(10);
        std::atomic<bool> cancel{false};
        const config::LanAfter after =
            config::WaitForConverter(address, 10001, options, pacer, cancel, {});
        const auto foundAt = Clock::now();
        device.join();
        if (!after.Found() || upAt.load() == 0) {
            std::printf("round %d: not found\n", i);
            continue;
        }
        delay.Add(Ms(foundAt - Clock::time_point(Clock::duration(upAt.load()))));
        net.RunInPc("ip neigh flush dev pc0"); // every round starts unresolved
    }
    delay.Print(announced ? "address up -> reported (announced, as the stand-in)"
                          : "address up -> reported (no announcement)");
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 10;
    if (argc == 3 && std::strcmp(argv[1], "--rounds") == 0) {
        rounds = std::max(1, std::atoi(argv[2]));
    }
    std::string whyNot;
    const auto net = LanNamespaces::Make(whyNot);
    if (!net) {
        std::fprintf(stderr, "comsetup_lan_bench: %s\n", whyNot.c_str());
        return 1;
    }
    const auto entered = net->EnterPc(whyNot);
    if (!entered) {
        std::fprintf(stderr, "comsetup_lan_bench: %s\n", whyNot.c_str());
        return 1;
    }
    BeforeWrite(*net, "before the write, off-link (192.168.7.200)",
                *lan::ParseIpv4("192.168.7.200"), rounds * 10);
    BeforeWrite(*net, "before the write, on-link free (192.168.1.201)",
                *lan::ParseIpv4("192.168.1.201"), rounds);
    net->RunInLan("ip addr add 192.168.1.202/24 dev lan0");
    BeforeWrite(*net, "before the write, taken (192.168.1.202)", *lan::ParseIpv4("192.168.1.202"),
                rounds);
    AfterWrite(*net, true, rounds);
    AfterWrite(*net, false, rounds);
    return 0;
}
