// The stand-in on the LAN: after a complete download the converter restarts and comes up at
// the address it was given. LanPresence plays that on one interface of the namespace the
// stand-in runs in: after the boot time it puts the decoded address and prefix on the
// interface (rtnetlink), announces it with a gratuitous ARP as a converter does when it
// boots, and accepts TCP connections on the decoded local port until the next download or
// the end, when it takes the address away again. Linux only; it needs CAP_NET_ADMIN in its
// namespace, which is why it runs only inside the namespaces tests and demos make.
#pragma once

#include "sim/converter_settings.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace comsetup::sim {

enum class LanFail {
    None,
    Silent,      // never comes up on the LAN
    WrongSubnet, // comes up in the neighbouring subnet of the same size
};

struct LanOptions {
    std::string interface; // empty: the stand-in stays off the LAN
    std::chrono::milliseconds bootTime{1000};
    LanFail fail = LanFail::None;
};

// The address and prefix a converter with these settings takes: the host bits it was given,
// or its address class's default for 0.
struct LanAddress {
    std::uint32_t address = 0; // host byte order
    int prefix = 24;
    std::uint16_t port = 10001;
};
LanAddress AddressOf(const ConverterSettings& settings, LanFail fail);

class LanPresence {
public:
    // log(text): one event line ("on lan0 as 192.168.1.200/24, port 10001").
    LanPresence(LanOptions options, void (*log)(void* context, const std::string& text),
                void* context);
    ~LanPresence(); // the address is taken away
    LanPresence(const LanPresence&) = delete;
    LanPresence& operator=(const LanPresence&) = delete;

    // A download completed with these settings: leave the LAN, come up again after the boot
    // time.
    void Restart(const ConverterSettings& settings);

private:
    void Run(LanAddress target);
    void Leave();
    void Say(const std::string& text) { log_(context_, text); }

    LanOptions options_;
    void (*log_)(void*, const std::string&);
    void* context_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace comsetup::sim
