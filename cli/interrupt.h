// Ctrl+C handling of comsetup-cli. The first SIGINT acts as the progress dialog's "Cancel":
// it sets the cancel flag of every download in progress (the download ends its current wait,
// or skips the restart wait once its script runs). A second SIGINT ends the process at once;
// the kernel closes the port (and every other descriptor) as the process ends, so no lock or
// exclusive open is left behind.
//
// The handler only touches lock-free atomics and calls write() and _exit(), which are safe in a
// signal handler. Flags are kept in a fixed table of slots; a download registers its flag for
// as long as it runs.
#pragma once

#include <atomic>

namespace comsetup::cli {

// Installs the SIGINT handler for its lifetime (one at a time) and restores the previous one.
class InterruptHandler {
public:
    InterruptHandler();
    ~InterruptHandler();
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;
};

// Keeps flag registered while alive: an interrupt sets it to true. When an interrupt already
// came, registering sets the flag at once.
class CancelRegistration {
public:
    explicit CancelRegistration(std::atomic<bool>& flag);
    ~CancelRegistration();
    CancelRegistration(const CancelRegistration&) = delete;
    CancelRegistration& operator=(const CancelRegistration&) = delete;

private:
    int slot_ = -1;
};

// True once the first interrupt has come (a download that clears its flag at its start uses
// this to set it again).
bool InterruptRequested();

// Forgets interrupts received so far (tests raise SIGINT in-process one case at a time).
void ResetInterruptsForTest();

} // namespace comsetup::cli
