// The one interface between the serial component and a device backend. The component holds
// one open CommDevice per Open; destroying it closes the device. Backends: linux/ (termios) and
// the in-memory device for tests (memory_device.h).
//
// Threads: the component's owner thread makes every call except these: the event thread calls
// WaitEvent and Purge, and any thread may call Wake. The owner thread calls SetEventMask before
// the event thread starts and again, while it waits, whenever the watched events change.
// Backends make those safe together with the owner thread's calls on the same device.
#pragma once

#include "serial/control_block.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace comsetup {

// Outcome of one transfer: error != 0 means the call failed at once with that OS code;
// otherwise bytes is the number moved, or -1 when it did not complete within the time limit.
// A transfer that returns has finished with the caller's buffer, whatever its outcome.
struct TransferResult {
    int error = 0;
    int bytes = 0;
};

class CommDevice {
public:
    virtual ~CommDevice() = default;

    // Line configuration; each returns 0 or the OS error code.
    virtual int GetState(ControlBlock& dcb) = 0;
    virtual int SetState(const ControlBlock& dcb) = 0;
    virtual int SetTimeouts(const CommTimeouts& timeouts) = 0;
    virtual int SetupQueues(int readSize, int writeSize) = 0;

    virtual TransferResult Read(void* buf, int count, int timeoutMs) = 0;
    virtual TransferResult Write(const void* buf, int count, int timeoutMs) = 0;

    // Takes (and clears) the pending line-error bits and reads the receive-queue count.
    // Returns 0 or the OS code of a failed status query; errors is written only when known.
    virtual int ClearErrors(uint32_t& errors, int& inQueue) = 0;
    virtual void Purge(uint32_t purgeFlags) = 0;
    // Waits until received bytes wait (or the device hangs up) or timeoutMs passes (-1: no
    // limit); ready tells which. Returns 0 or an OS code.
    virtual int WaitInput(int timeoutMs, bool& ready) = 0;

    // Event watching (commevent bits). WaitEvent blocks until an event occurs or Wake is called;
    // it then returns 0 with the occurred bits (none after a wake-up) or an OS code. A new mask
    // applies from the call on: a wait in progress may end with no bits, like a wake-up, and
    // events only a dropped bit watched are not reported. A device watching nothing never
    // wakes the event thread on its own.
    virtual void SetEventMask(uint32_t mask) = 0;
    // The commevent bits this device can report at all.
    virtual uint32_t ReportableEvents() const { return 0x01FF; }
    virtual int WaitEvent(uint32_t& events) = 0;
    virtual void Wake() = 0;

    // Other programs that have the device open too ("minicom (pid 4242)"), as far as the
    // system tells; none where ports open exclusively.
    virtual std::vector<std::string> OtherUsers() const { return {}; }
};

// Opening a system device by path.
struct OpenResult {
    std::unique_ptr<CommDevice> device;
    int error = 0; // OS code when device is null; kNotSerialDevice for a non-terminal file
};
constexpr int kNotSerialDevice = -1;

// Opens the path exclusively (no other opener, by us or another program, while we hold it).
OpenResult OpenSystemDevice(const std::string& path);

} // namespace comsetup
