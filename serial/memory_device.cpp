// The in-memory line and the device a component opens on it.
#include "serial/memory_device.h"

#include "serial/platform.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace comsetup {

// One open period on a MemoryLine. Every call goes to the line under its lock.
class MemoryDevice final : public CommDevice {
public:
    explicit MemoryDevice(std::shared_ptr<MemoryLine> line) : line_(std::move(line)) {}
    ~MemoryDevice() override {
        std::lock_guard lock(line_->mutex_);
        line_->open_ = false;
        line_->eventMask_ = 0;
        line_->changed_.notify_all();
    }

    int GetState(ControlBlock& dcb) override {
        std::lock_guard lock(line_->mutex_);
        if (line_->vanished_)
            return OsErrorDeviceGone();
        dcb = line_->state_;
        return 0;
    }
    int SetState(const ControlBlock& dcb) override {
        std::lock_guard lock(line_->mutex_);
        if (int err = Failure(line_->failSetState_))
            return err;
        line_->state_ = dcb;
        ++line_->setStateCount_;
        return 0;
    }
    int SetTimeouts(const CommTimeouts& t) override {
        std::lock_guard lock(line_->mutex_);
        if (int err = Failure(line_->failTimeouts_))
            return err;
        line_->timeouts_ = t;
        return 0;
    }
    int SetupQueues(int readSize, int writeSize) override {
        std::lock_guard lock(line_->mutex_);
        if (int err = Failure(line_->failQueues_))
            return err;
        line_->readQueue_ = readSize;
        line_->writeQueue_ = writeSize;
        return 0;
    }

    TransferResult Read(void* buf, int count, int /*timeoutMs*/) override {
        std::lock_guard lock(line_->mutex_);
        if (int err = Failure(line_->failRead_))
            return {err, 0};
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)),
                                             line_->received_.size());
        std::memcpy(buf, line_->received_.data(), n);
        line_->received_.erase(0, n);
        return {0, static_cast<int>(n)};
    }
    TransferResult Write(const void* buf, int count, int timeoutMs) override {
        std::unique_lock lock(line_->mutex_);
        if (int err = Failure(line_->failWrite_))
            return {err, 0};
        if (line_->holdWrites_) {
            const bool released = line_->changed_.wait_for(
                lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                [this] { return !line_->holdWrites_ || line_->vanished_; });
            if (!released)
                return {0, -1};
            if (line_->vanished_)
                return {OsErrorDeviceGone(), 0};
        }
        line_->written_.append(static_cast<const char*>(buf), static_cast<std::size_t>(count));
        Raise(commevent::TxEmpty);
        return {0, count};
    }

    int ClearErrors(uint32_t& errors, int& inQueue) override {
        std::lock_guard lock(line_->mutex_);
        if (int err = Failure(line_->failStatus_))
            return err;
        errors = line_->pendingErrors_;
        line_->pendingErrors_ = 0;
        inQueue = static_cast<int>(line_->received_.size());
        return 0;
    }
    void Purge(uint32_t flags) override {
        std::lock_guard lock(line_->mutex_);
        line_->lastPurge_ = flags;
        ++line_->purgeCount_;
        if (flags & purge::RxClear)
            line_->received_.clear();
    }
    int WaitInput(int timeoutMs, bool& ready) override {
        std::unique_lock lock(line_->mutex_);
        auto waiting = [this] { return !line_->received_.empty() || line_->vanished_; };
        if (timeoutMs < 0)
            line_->changed_.wait(lock, waiting);
        else
            line_->changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), waiting);
        ready = waiting();
        return 0;
    }

    void SetEventMask(uint32_t mask) override {
        std::lock_guard lock(line_->mutex_);
        line_->eventMask_ = mask;
        line_->pendingEvents_ = 0;
    }
    int WaitEvent(uint32_t& events) override {
        std::unique_lock lock(line_->mutex_);
        line_->changed_.wait(lock, [&] {
            return (line_->pendingEvents_ & line_->eventMask_) != 0 || wakes_ != wakesSeen_;
        });
        wakesSeen_ = wakes_;
        events = line_->pendingEvents_ & line_->eventMask_;
        line_->pendingEvents_ &= ~events;
        return 0;
    }
    std::vector<std::string> OtherUsers() const override {
        std::lock_guard lock(line_->mutex_);
        return line_->otherUsers_;
    }
    void Wake() override {
        std::lock_guard lock(line_->mutex_);
        ++wakes_;
        line_->changed_.notify_all();
    }

private:
    // Called under the line's lock.
    int Failure(int code) const { return line_->vanished_ ? OsErrorDeviceGone() : code; }
    void Raise(uint32_t bits) {
        line_->pendingEvents_ |= bits;
        line_->changed_.notify_all();
    }

    std::shared_ptr<MemoryLine> line_;
    // Guarded by the line's lock. A wake before a wait still ends that wait.
    uint64_t wakes_ = 0;
    uint64_t wakesSeen_ = 0;
};

MemoryLine::MemoryLine() {
    // A freshly opened port: binary mode with DTR and RTS on, 9600 8N1.
    state_.BaudRate = 9600;
    state_.Flags = dcbflag::Binary | dcbflag::DtrControlEnable | dcbflag::RtsControlEnable;
    state_.ByteSize = 8;
    state_.XonChar = 17;
    state_.XoffChar = 19;
}

void MemoryLine::PushReceived(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    received_.append(bytes);
    if (!bytes.empty())
        pendingEvents_ |= commevent::RxChar;
    changed_.notify_all();
}

std::string MemoryLine::Written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

std::string MemoryLine::TakeWritten() {
    std::lock_guard lock(mutex_);
    std::string out;
    out.swap(written_);
    return out;
}

#define COMSETUP_LINE_FAILURE(Name, Field)                                                         \
    void MemoryLine::Name(int code) {                                                              \
        std::lock_guard lock(mutex_);                                                              \
        Field = code;                                                                              \
    }
COMSETUP_LINE_FAILURE(FailOpen, failOpen_)
COMSETUP_LINE_FAILURE(FailSetState, failSetState_)
COMSETUP_LINE_FAILURE(FailTimeouts, failTimeouts_)
COMSETUP_LINE_FAILURE(FailSetupQueues, failQueues_)
COMSETUP_LINE_FAILURE(FailRead, failRead_)
COMSETUP_LINE_FAILURE(FailWrite, failWrite_)
COMSETUP_LINE_FAILURE(FailStatus, failStatus_)
#undef COMSETUP_LINE_FAILURE

void MemoryLine::HoldWrites(bool hold) {
    std::lock_guard lock(mutex_);
    holdWrites_ = hold;
    changed_.notify_all();
}

void MemoryLine::Vanish() {
    std::lock_guard lock(mutex_);
    vanished_ = true;
    pendingErrors_ |= commerror::IoError;
    pendingEvents_ |= commevent::Err;
    changed_.notify_all();
}

void MemoryLine::Reappear() {
    std::lock_guard lock(mutex_);
    vanished_ = false;
    changed_.notify_all();
}

void MemoryLine::SetOtherUsers(std::vector<std::string> users) {
    std::lock_guard lock(mutex_);
    otherUsers_ = std::move(users);
}

void MemoryLine::RaiseEvents(uint32_t bits) {
    std::lock_guard lock(mutex_);
    pendingEvents_ |= bits;
    changed_.notify_all();
}

void MemoryLine::AddLineErrors(uint32_t bits) {
    std::lock_guard lock(mutex_);
    pendingErrors_ |= bits;
    pendingEvents_ |= commevent::Err;
    changed_.notify_all();
}

#define COMSETUP_LINE_GETTER(Type, Name, Expr)                                                     \
    Type MemoryLine::Name() const {                                                                \
        std::lock_guard lock(mutex_);                                                              \
        return Expr;                                                                               \
    }
COMSETUP_LINE_GETTER(bool, IsOpen, open_)
COMSETUP_LINE_GETTER(int, OpenCount, openCount_)
COMSETUP_LINE_GETTER(ControlBlock, AppliedState, state_)
COMSETUP_LINE_GETTER(int, SetStateCount, setStateCount_)
COMSETUP_LINE_GETTER(CommTimeouts, AppliedTimeouts, timeouts_)
COMSETUP_LINE_GETTER(int, ReadQueueSize, readQueue_)
COMSETUP_LINE_GETTER(int, WriteQueueSize, writeQueue_)
COMSETUP_LINE_GETTER(uint32_t, EventMask, eventMask_)
COMSETUP_LINE_GETTER(uint32_t, PendingErrors, pendingErrors_)
COMSETUP_LINE_GETTER(uint32_t, LastPurge, lastPurge_)
COMSETUP_LINE_GETTER(int, PurgeCount, purgeCount_)
#undef COMSETUP_LINE_GETTER

void MemoryLine::SetReportedState(const ControlBlock& dcb) {
    std::lock_guard lock(mutex_);
    state_ = dcb;
}

OpenResult MemoryLine::Open() {
    std::lock_guard lock(mutex_);
    if (vanished_)
        return {nullptr, ENOENT};
    if (failOpen_ != 0)
        return {nullptr, failOpen_};
    if (open_)
        return {nullptr, EBUSY}; // one opener at a time, like a real port
    open_ = true;
    ++openCount_;
    pendingEvents_ = 0;
    return {std::make_unique<MemoryDevice>(shared_from_this()), 0};
}

MemoryComm::MemoryComm(std::shared_ptr<MemoryLine> line, OwnerThreadPump* pump)
    : TComm(pump), line_(std::move(line)) {}

MemoryComm::~MemoryComm() {
    Close();
}

void MemoryComm::CreateHandle() {
    OpenResult opened = line_->Open();
    if (!opened.device)
        RaiseCommError("Error accessing specified device", opened.error);
    AttachHandle(std::move(opened.device));
}

} // namespace comsetup
