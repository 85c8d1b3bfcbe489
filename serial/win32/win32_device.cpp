// Windows device backend on the kernel32 serial calls.
//  - Open: CreateFileA with read/write access, no sharing (exclusive), OPEN_EXISTING and
//    overlapped transfers; GetFileType must say FILE_TYPE_CHAR.
//  - Transfers: one overlapped record per call on the device's own manual-reset event. A
//    transfer that does not finish in its time limit is cancelled and waited for before -1 is
//    returned, so it never touches the caller's buffer or record afterwards. A read on an empty
//    queue is not started at all (some drivers leave it pending although the time-outs say
//    "return at once"), and a device time-out (ERROR_TIMEOUT with nothing moved) counts as
//    nothing received.
//  - Events: WaitCommEvent on a record and event of the event thread's own. Wake signals a
//    separate event; the waiting thread then ends its pending wait with SetCommMask (which
//    ends it everywhere, unlike cancelling) and waits for that before it returns, so nothing
//    is left pending when the device closes.
#include "serial/comm_device.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <windows.h>

namespace comsetup {
namespace {

static_assert(sizeof(ControlBlock) == sizeof(DCB), "ControlBlock keeps the layout of DCB");
static_assert(sizeof(CommTimeouts) == sizeof(COMMTIMEOUTS));

int LastError() {
    return static_cast<int>(GetLastError());
}

// A manual-reset event, closed with its owner.
class Event {
public:
    explicit Event(bool manualReset = true)
        : handle_(CreateEventA(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr)) {}
    ~Event() {
        if (handle_ != nullptr)
            CloseHandle(handle_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr; }

private:
    HANDLE handle_;
};

class Win32Device final : public CommDevice {
public:
    explicit Win32Device(HANDLE h) : h_(h) {}
    ~Win32Device() override { CloseHandle(h_); }

    bool Ready() const { return ioEvent_.valid() && waitEvent_.valid() && wakeEvent_.valid(); }

    int GetState(ControlBlock& dcb) override {
        DCB d{};
        d.DCBlength = sizeof d;
        if (!GetCommState(h_, &d))
            return LastError();
        std::memcpy(static_cast<void*>(&dcb), &d, sizeof d);
        return 0;
    }
    int SetState(const ControlBlock& dcb) override {
        DCB d{};
        std::memcpy(&d, &dcb, sizeof d);
        d.DCBlength = sizeof d;
        return SetCommState(h_, &d) ? 0 : LastError();
    }
    int SetTimeouts(const CommTimeouts& timeouts) override {
        COMMTIMEOUTS t{};
        std::memcpy(&t, &timeouts, sizeof t);
        return SetCommTimeouts(h_, &t) ? 0 : LastError();
    }
    int SetupQueues(int readSize, int writeSize) override {
        if (readSize < 0 || writeSize < 0)
            return ERROR_INVALID_PARAMETER;
        return SetupComm(h_, static_cast<DWORD>(readSize), static_cast<DWORD>(writeSize))
                   ? 0
                   : LastError();
    }

    TransferResult Read(void* buf, int count, int timeoutMs) override {
        if (count <= 0)
            return {0, 0};
        DWORD errors = 0;
        COMSTAT stat{};
        if (!ClearCommError(h_, &errors, &stat))
            return {LastError(), 0};
        AddErrors(errors);
        if (stat.cbInQue == 0)
            return {0, 0}; // nothing has arrived: what the time-outs ask for, at once
        const DWORD want = std::min<DWORD>(static_cast<DWORD>(count), stat.cbInQue);
        return Transfer([&](OVERLAPPED* ov, DWORD* n) { return ReadFile(h_, buf, want, n, ov); },
                        timeoutMs, true);
    }

    TransferResult Write(const void* buf, int count, int timeoutMs) override {
        if (count <= 0)
            return {0, 0};
        return Transfer(
            [&](OVERLAPPED* ov, DWORD* n) {
                return WriteFile(h_, buf, static_cast<DWORD>(count), n, ov);
            },
            timeoutMs, false);
    }

    int ClearErrors(uint32_t& errors, int& inQueue) override {
        DWORD e = 0;
        COMSTAT stat{};
        if (!ClearCommError(h_, &e, &stat))
            return LastError();
        // Errors seen by a read in between belong to this report too.
        errors = static_cast<uint32_t>(e) | pendingErrors_.exchange(0, std::memory_order_acq_rel);
        inQueue = static_cast<int>(std::min<DWORD>(stat.cbInQue, 0x7FFFFFFF));
        return 0;
    }

    void Purge(uint32_t purgeFlags) override { PurgeComm(h_, purgeFlags); }

    int WaitInput(int timeoutMs, bool& ready) override {
        // The event wait belongs to the event thread (a second pending wait is refused), so
        // this asks for the queue until bytes wait or the time is up.
        const ULONGLONG start = GetTickCount64();
        for (;;) {
            DWORD errors = 0;
            COMSTAT stat{};
            if (!ClearCommError(h_, &errors, &stat))
                return LastError();
            AddErrors(errors);
            ready = stat.cbInQue > 0;
            if (ready)
                return 0;
            if (timeoutMs >= 0 && GetTickCount64() - start >= static_cast<ULONGLONG>(timeoutMs))
                return 0;
            Sleep(1);
        }
    }

    void SetEventMask(uint32_t mask) override {
        mask_ = mask;
        SetCommMask(h_, mask); // its outcome is not needed: a failing wait is retried later
    }

    int WaitEvent(uint32_t& events) override {
        events = 0;
        DWORD occurred = 0;
        OVERLAPPED ov{};
        ov.hEvent = waitEvent_.get();
        ResetEvent(ov.hEvent);
        if (WaitCommEvent(h_, &occurred, &ov)) {
            events = occurred & mask_;
            return 0;
        }
        if (GetLastError() != ERROR_IO_PENDING)
            return LastError();
        const HANDLE both[2] = {ov.hEvent, wakeEvent_.get()};
        const DWORD which = WaitForMultipleObjects(2, both, FALSE, INFINITE);
        if (which != WAIT_OBJECT_0) {
            // Woken (or the wait failed): end the pending wait and let it finish before the
            // record on this stack goes away.
            SetCommMask(h_, mask_);
            DWORD n = 0;
            GetOverlappedResult(h_, &ov, &n, TRUE);
            return 0;
        }
        DWORD n = 0;
        if (!GetOverlappedResult(h_, &ov, &n, FALSE)) {
            const int err = LastError();
            // Ended by a mask change or an aborted wait: no event, not a device failure.
            return err == ERROR_OPERATION_ABORTED ? 0 : err;
        }
        events = occurred & mask_;
        return 0;
    }

    void Wake() override { SetEvent(wakeEvent_.get()); }

private:
    template <typename Start> TransferResult Transfer(Start start, int timeoutMs, bool reading) {
        OVERLAPPED ov{};
        ov.hEvent = ioEvent_.get();
        ResetEvent(ov.hEvent);
        DWORD n = 0;
        if (start(&ov, &n))
            return {0, static_cast<int>(n)}; // finished at once
        const DWORD err = GetLastError();
        if (err != ERROR_IO_PENDING)
            return Finished(err, n, reading);
        const DWORD wait = WaitForSingleObject(
            ov.hEvent, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
        if (wait != WAIT_OBJECT_0) {
            // Not finished in time: cancel it and wait until it has let go of buf and ov.
            CancelIoEx(h_, &ov);
            GetOverlappedResult(h_, &ov, &n, TRUE);
            return {0, -1};
        }
        if (!GetOverlappedResult(h_, &ov, &n, FALSE))
            return Finished(GetLastError(), n, reading);
        return {0, static_cast<int>(n)};
    }

    // A transfer that ended with an error code: a device time-out moved what it moved (a read
    // returns that, a write that moved nothing timed out); anything else is a failure.
    static TransferResult Finished(DWORD err, DWORD n, bool reading) {
        if (err == ERROR_TIMEOUT || err == ERROR_SEM_TIMEOUT) {
            if (reading || n > 0)
                return {0, static_cast<int>(n)};
            return {0, -1};
        }
        return {static_cast<int>(err), 0};
    }

    void AddErrors(DWORD errors) {
        if (errors != 0)
            pendingErrors_.fetch_or(static_cast<uint32_t>(errors), std::memory_order_acq_rel);
    }

    const HANDLE h_;
    Event ioEvent_;   // transfers (the component's lock lets one run at a time)
    Event waitEvent_; // the event thread's WaitCommEvent
    Event wakeEvent_{false};
    uint32_t mask_ = 0; // set before the event thread starts, then read by it only
    std::atomic<uint32_t> pendingErrors_{0};
};

} // namespace

OpenResult OpenSystemDevice(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {nullptr, LastError()};
    if (GetFileType(h) != FILE_TYPE_CHAR) {
        CloseHandle(h);
        return {nullptr, kNotSerialDevice};
    }
    auto device = std::make_unique<Win32Device>(h);
    if (!device->Ready()) {
        const int err = LastError(); // before closing the handle sets another
        device.reset();
        return {nullptr, err};
    }
    return {std::move(device), 0};
}

} // namespace comsetup
