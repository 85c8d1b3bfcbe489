#include "config/lan_check.h"

#include "lan/interfaces.h"

#include <algorithm>
#include <cstdio>
#include <future>

namespace comsetup::config {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStepMs = 5; // how often a wait looks whether the probe has ended

int MsSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// A probe on a thread of its own while the pacer keeps the caller's windows alive.
lan::ProbeResult ProbeWhilePacing(lan::Ipv4 address, std::uint16_t port,
                                  std::chrono::milliseconds limit, Pacer& pacer,
                                  const std::function<void()>& onStep = {}) {
    auto probe = std::async(std::launch::async, lan::Probe, address, port, limit);
    while (probe.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        pacer.Delay(kStepMs);
        if (onStep) {
            onStep();
        }
    }
    return probe.get();
}

std::string Seconds(int ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
    return text;
}

std::string WholeSeconds(std::chrono::milliseconds ms) {
    return std::to_string((ms.count() + 999) / 1000) + " s";
}

} // namespace

lan::Ipv4 LanAddressOf(const std::array<int, 4>& ip) {
    return lan::Ipv4FromBytes(ip[0], ip[1], ip[2], ip[3]);
}

LanBefore CheckBeforeWrite(lan::Ipv4 address, std::uint16_t port, const LanCheckOptions& options,
                           Pacer& pacer) {
    LanBefore before;
    before.interfaces = lan::ListInterfaces();
    before.via = lan::OnLinkInterface(before.interfaces, address);
    if (before.via) {
        before.probe = ProbeWhilePacing(address, port, options.probeLimit, pacer);
    }
    return before;
}

LanAfter WaitForConverter(lan::Ipv4 address, std::uint16_t port, const LanCheckOptions& options,
                          Pacer& pacer, const std::atomic<bool>& cancel,
                          const std::function<void(int elapsedMs)>& onTick) {
    LanAfter after;
    if (!lan::OnLinkInterface(lan::ListInterfaces(), address)) {
        return after;
    }
    after.tried = true;
    const auto start = Clock::now();
    const int limitMs = static_cast<int>(options.wait.count());
    const int interval = static_cast<int>(options.pollInterval.count());
    const auto tick = [&] {
        if (onTick) {
            onTick(MsSince(start));
        }
    };
    for (int round = 0;; ++round) {
        // Each probe lasts up to the interval, so one is always waiting for the address: a
        // converter that announces itself is found as soon as it does.
        const auto left = std::chrono::milliseconds(std::max(1, limitMs - MsSince(start)));
        after.probe =
            ProbeWhilePacing(address, port, std::min(options.pollInterval, left), pacer, tick);
        after.waitedMs = MsSince(start);
        if (after.Found()) {
            return after;
        }
        if (cancel.load()) {
            after.cancelled = true;
            return after;
        }
        if (after.waitedMs >= limitMs) {
            after.waitedMs = limitMs;
            return after;
        }
        const int next = std::min(limitMs, (round + 1) * interval);
        while (MsSince(start) < next && !cancel.load()) {
            pacer.Delay(kStepMs);
            tick();
        }
    }
}

std::string OffLinkText(lan::Ipv4 address, const std::vector<lan::Interface>& interfaces) {
    std::string networks;
    for (const lan::Interface& i : interfaces) {
        if (i.loopback) {
            continue;
        }
        networks += (networks.empty() ? "" : ", ") + i.name + " " + lan::FormatIpv4(i.address) +
                    "/" + std::to_string(i.prefix);
    }
    return lan::FormatIpv4(address) + " is not on this PC's networks (" +
           (networks.empty() ? "none" : networks) + "): this PC cannot reach it directly";
}

std::string AlreadyAnswersText(lan::Ipv4 address, const LanBefore& before) {
    std::string who = lan::FormatIpv4(address) + " already answers on " +
                      (before.via ? before.via->name : std::string("?"));
    if (before.probe.mac) {
        who += " (MAC " + lan::FormatMac(*before.probe.mac) + ")";
    }
    return who + ". If that is not this converter, two devices will share the address.";
}

std::string WriteAnywayQuestion(lan::Ipv4 address, const LanBefore& before) {
    return AlreadyAnswersText(address, before) + " Write it anyway?";
}

std::string LookingText(lan::Ipv4 address, const lan::Interface& via, int elapsedMs) {
    return "looking for " + lan::FormatIpv4(address) + " on " + via.name + "\u2026 " +
           std::to_string(elapsedMs / 1000) + " s";
}

const char* TcpStateName(lan::TcpState state) {
    switch (state) {
    case lan::TcpState::Open:
        return "open";
    case lan::TcpState::Refused:
        return "refused";
    case lan::TcpState::NoAnswer:
        return "no answer";
    case lan::TcpState::NotTried:
        break;
    }
    return "not tried";
}

std::string AfterText(lan::Ipv4 address, std::uint16_t port, const LanAfter& after,
                      const LanCheckOptions& options) {
    const std::string where = lan::FormatIpv4(address);
    if (after.Found()) {
        std::string facts;
        if (after.probe.mac) {
            facts = "MAC " + lan::FormatMac(*after.probe.mac) + ", ";
        }
        facts += "TCP port " + std::to_string(port) + " " + TcpStateName(after.probe.tcp);
        return "answers at " + where + " (" + facts + ") after " + Seconds(after.waitedMs);
    }
    if (after.cancelled) {
        return "stopped looking for " + where + " after " + Seconds(after.waitedMs) +
               " (cancelled): the setup is complete";
    }
    return "no answer from " + where + " within " + WholeSeconds(options.wait);
}

std::string InterfaceFacts(const std::vector<lan::Interface>& interfaces) {
    std::string facts;
    for (const lan::Interface& i : interfaces) {
        if (i.loopback) {
            continue;
        }
        facts += (facts.empty() ? "" : ", ") + i.name + " " + lan::FormatIpv4(i.address) + "/" +
                 std::to_string(i.prefix) + (i.up ? " up" : " down");
    }
    return "this PC: " + (facts.empty() ? std::string("no network") : facts);
}

} // namespace comsetup::config
