// An in-memory serial line for tests of every layer. The test side holds a MemoryLine: it
// pushes bytes the device "receives", reads back every byte written, makes opening, a line
// setting, the time-outs, the queue sizes, a read or a write fail with a given OS code, holds
// writes back (they then time out), raises line events and errors, and can make the device
// vanish. MemoryComm is a TComm whose Open attaches a device on that line.
//
//   auto line = std::make_shared<comsetup::MemoryLine>();
//   comsetup::MemoryComm comm(line, &pump);  // pump optional
//   comm.Open();
//   line->PushReceived("banner");
//   ... comm.Read / comm.Write ...
//   EXPECT_EQ(line->Written(), "x");
//
// All MemoryLine calls are thread-safe.
#pragma once

#include "serial/comm.h"
#include "serial/comm_device.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace comsetup {

class MemoryLine : public std::enable_shared_from_this<MemoryLine> {
public:
    MemoryLine();

    // --- what the device receives and what was written to it
    void PushReceived(std::string_view bytes);
    std::string Written() const; // every byte written since creation or the last take
    std::string TakeWritten();   // the same, and forget them

    // --- failures; a code of 0 removes the failure. Failures stay until removed.
    void FailOpen(int code);
    void FailSetState(int code); // the line settings are refused
    void FailTimeouts(int code);
    void FailSetupQueues(int code);
    void FailRead(int code);
    void FailWrite(int code);
    void FailStatus(int code);  // the receive-queue / error-state query fails
    void HoldWrites(bool hold); // writes wait their full time limit and return -1
    void Vanish();              // unplugged: every call fails with EIO, events report it
    void Reappear();
    // Other programs the device reports as having it open too ("minicom (pid 4242)").
    void SetOtherUsers(std::vector<std::string> users);

    // --- line events and errors
    void RaiseEvents(uint32_t commeventBits);
    void AddLineErrors(uint32_t commerrorBits); // also raises the error event

    // --- what the component did
    bool IsOpen() const;
    int OpenCount() const;
    ControlBlock AppliedState() const; // the last control block written (or the reported one)
    void
    SetReportedState(const ControlBlock& dcb); // what the device reports before the first write
    int SetStateCount() const;
    CommTimeouts AppliedTimeouts() const;
    int ReadQueueSize() const;
    int WriteQueueSize() const;
    uint32_t EventMask() const;
    uint32_t PendingErrors() const;
    uint32_t LastPurge() const;
    int PurgeCount() const;

    // Opens a device on this line (what MemoryComm's CreateHandle calls).
    OpenResult Open();

private:
    friend class MemoryDevice;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string received_;
    std::string written_;
    int failOpen_ = 0, failSetState_ = 0, failTimeouts_ = 0, failQueues_ = 0;
    int failRead_ = 0, failWrite_ = 0, failStatus_ = 0;
    bool holdWrites_ = false;
    bool vanished_ = false;
    bool open_ = false;
    int openCount_ = 0;
    ControlBlock state_;
    int setStateCount_ = 0;
    CommTimeouts timeouts_;
    int readQueue_ = 0, writeQueue_ = 0;
    uint32_t eventMask_ = 0;
    uint32_t pendingEvents_ = 0;
    uint32_t pendingErrors_ = 0;
    uint32_t lastPurge_ = 0;
    int purgeCount_ = 0;
    std::vector<std::string> otherUsers_;
};

// A TComm attached to a MemoryLine instead of a system device. DeviceName is ignored.
class MemoryComm : public TComm {
public:
    explicit MemoryComm(std::shared_ptr<MemoryLine> line = std::make_shared<MemoryLine>(),
                        OwnerThreadPump* pump = nullptr);
    ~MemoryComm() override;
    MemoryLine& Line() { return *line_; }
    std::shared_ptr<MemoryLine> SharedLine() const { return line_; }

protected:
    void CreateHandle() override;

private:
    std::shared_ptr<MemoryLine> line_;
};

} // namespace comsetup
