// Finding the port the converter hangs on ("Auto"). During the wake-up wait the download
// opens every free port of a list at 9600 8N1 (each exclusively, as every open is), polls
// "x" on all of them and goes on with the first one whose receive queue reaches the banner
// threshold; the others are closed at once. A port that cannot be opened, or whose write
// fails, is left out and named in the log. This sends "x" to every free port listed, so it
// runs only when the user picks "Auto".
#pragma once

#include "serial/comm.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace comsetup {

// The name of the port-list entry that asks for the search ("Auto", any case).
inline constexpr std::string_view kAutoPortName = "Auto";
bool IsAutoPort(std::string_view name);

// Makes a closed port component for a candidate (tests attach in-memory lines).
using PortFactory = std::function<std::unique_ptr<TCustomComm>()>;
// A port component on the real device, without an event thread (the download polls).
std::unique_ptr<TCustomComm> MakeDevicePort();

// The ports a search tries when the caller names none: COM1..COM9, then the serial devices
// the system has.
std::vector<std::string> DefaultSearchCandidates();

class PortSearch {
public:
    explicit PortSearch(PortFactory make = MakeDevicePort);
    ~PortSearch();
    PortSearch(const PortSearch&) = delete;
    PortSearch& operator=(const PortSearch&) = delete;

    // Opens every candidate (skipping "Auto" and names that open a device already tried).
    // Each one left out adds a line for the log to `skipped`. Returns how many are open.
    int OpenAll(const std::vector<std::string>& candidates, std::vector<std::string>& skipped);
    int OpenCount() const { return static_cast<int>(probes_.size()); }
    std::vector<std::string> OpenNames() const;

    // Writes byte to every open port; a port whose write fails is closed and named in
    // `dropped`.
    void SendToAll(std::uint8_t byte, std::vector<std::string>& dropped);

    // The first open port (in list order) with at least threshold bytes waiting: it stays
    // open and is handed over, the others are closed at once. Null when none has answered.
    struct Found {
        std::string name;
        std::unique_ptr<TCustomComm> port;
    };
    Found TakeAnswered(int threshold);

    // Closes every port still open (never throws).
    void CloseAll();

private:
    struct Probe {
        std::string name;
        std::unique_ptr<TCustomComm> port;
    };
    PortFactory make_;
    std::vector<Probe> probes_;
};

} // namespace comsetup
