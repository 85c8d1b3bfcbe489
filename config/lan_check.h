// The LAN check around a download, shared by both front ends: before the write, whether the
// converter's address lies on one of the PC's networks and whether something already answers
// there; after "Setup Complete", the wait for the converter to come up at its new address.
// The probes are lan::Probe's (on-link addresses only); the texts the user reads are here.
// Waits go through a Pacer, so the wizard's windows stay alive and Cancel reaches the wait.
#pragma once

#include "download/pacer.h"
#include "lan/probe.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace comsetup::config {

struct LanCheckOptions {
    bool on = false;     // off: nothing is sent to any network
    bool strict = false; // refuse an off-link or taken address; "not found" fails the run
    std::chrono::milliseconds wait{30000};       // after "Setup Complete"
    std::chrono::milliseconds probeLimit{1000};  // of the check before the write
    std::chrono::milliseconds pollInterval{500}; // of the wait
};

// Before the write.
struct LanBefore {
    std::vector<lan::Interface> interfaces; // the PC's, as listed then
    std::optional<lan::Interface> via;      // the interface holding the address on-link
    lan::ProbeResult probe;                 // nothing sent when off-link
    bool OnLink() const { return via.has_value(); }
    bool Answered() const { return probe.Answered(); }
};

// After the write.
struct LanAfter {
    bool tried = false;     // on-link and "Setup Complete": the wait ran
    bool cancelled = false; // the user ended the wait
    lan::ProbeResult probe; // the last probe (the answering one when found)
    int waitedMs = 0;       // from the verdict to the answer, or to the wait's end
    bool Found() const { return probe.Answered(); }
};

lan::Ipv4 LanAddressOf(const std::array<int, 4>& ip);

// Lists the interfaces and probes the address if it is on-link; the pacer waits meanwhile.
LanBefore CheckBeforeWrite(lan::Ipv4 address, std::uint16_t port, const LanCheckOptions& options,
                           Pacer& pacer);

// Probes every pollInterval until the address answers, the wait's time has passed or cancel
// is set; onTick(elapsed ms) is told as time goes by (for "looking for ...").
LanAfter WaitForConverter(lan::Ipv4 address, std::uint16_t port, const LanCheckOptions& options,
                          Pacer& pacer, const std::atomic<bool>& cancel,
                          const std::function<void(int elapsedMs)>& onTick);

// "192.168.1.200 is not on this PC's networks (eth0 10.0.0.5/24): this PC cannot reach it
// directly"
std::string OffLinkText(lan::Ipv4 address, const std::vector<lan::Interface>& interfaces);
// "192.168.1.200 already answers on eth0 (MAC 02:00:5e:10:00:01). If that is not this
// converter, two devices will share the address."
std::string AlreadyAnswersText(lan::Ipv4 address, const LanBefore& before);
// The same followed by " Write it anyway?" (the wizard's question).
std::string WriteAnywayQuestion(lan::Ipv4 address, const LanBefore& before);
// "looking for 192.168.1.200 on eth0… 6 s"
std::string LookingText(lan::Ipv4 address, const lan::Interface& via, int elapsedMs);
// "answers at 192.168.1.200 (MAC 02:00:5e:10:00:01, TCP port 10001 open) after 4.2 s", or
// "no answer from 192.168.1.200 within 30 s", or "stopped looking for 192.168.1.200 after
// 3.0 s (cancelled): the setup is complete".
std::string AfterText(lan::Ipv4 address, std::uint16_t port, const LanAfter& after,
                      const LanCheckOptions& options);
// "this PC: eth0 10.0.0.5/24 up, wlan0 192.168.1.20/24 down" (loopback left out).
std::string InterfaceFacts(const std::vector<lan::Interface>& interfaces);
// "open", "refused", "no answer", "not tried"
const char* TcpStateName(lan::TcpState state);

} // namespace comsetup::config
