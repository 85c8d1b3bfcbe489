// The serial port component: TCustomComm holds the state and behaviour, TComm publishes it.
// It opens one device by name, applies the line settings through a device control block with
// the Windows field and flag layout, reads and writes with time limits, reports the receive
// queue, purges, and runs an event thread that reports line events on the owner thread.
//
// Threads: every operation is called on one owner thread. Event deliveries run on that thread
// through the OwnerThreadPump given at construction, when the owner pumps. Without a pump no
// event thread is started (polling InQueCount still works). The event thread watches only the
// monitored events that have a handler assigned: with none, it sleeps until Close. Close and the
// destructor stop and join the event thread before the device is closed, and a delivery still
// queued for a closed or destroyed component is dropped; a handler may call Close, or destroy the
// component.
//
// Errors: every failure is an ECommError whose message is the error text followed by
// " (Error: <code>) "; the code is the OS error number (errno), or -1 where the component
// itself refuses.
//
// Devices: Open calls the virtual CreateHandle, which opens DeviceName (COMn mapped by
// ResolvePortName) exclusively. A descendant attaches another device by overriding
// CreateHandle and calling AttachHandle with any comsetup::CommDevice; MemoryComm
// (memory_device.h) does so with an in-memory line for tests.
#pragma once

#include "serial/comm_device.h"
#include "serial/comm_event_types.h"
#include "serial/comm_handler.h"
#include "serial/control_block.h"
#include "serial/enum_set.h"
#include "serial/owner_pump.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

enum TBaudrate : uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TParity : uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum TStopbits : uint8_t { sb10, sb15, sb20 };
enum TDatabits : uint8_t { da4, da5, da6, da7, da8 };
enum TFlowControl : uint8_t { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption : uint8_t {
    coParityCheck,
    coDsrSensitivity,
    coIgnoreXOff,
    coErrorChar,
    coNullStrip
};
using TCommOptions = comsetup::EnumSet<TCommOption, uint8_t>;
namespace comsetup {
// Numbers behind the enumerations: bits per second and the control block's ByteSize.
uint32_t BaudRateValue(TBaudrate rate);
uint8_t DataBitsValue(TDatabits bits);
} // namespace comsetup

class ECommError : public std::runtime_error {
public:
    // message is the bare text; what() is that text followed by " (Error: <code>) ".
    ECommError(const std::string& message, int code);
    int ErrorCode;
};

class TCustomComm;
class TCommEventThread;

using TNotifyEvent = std::function<void(TCustomComm* Sender)>;
using TCommErrorEvent = std::function<void(TCustomComm* Sender, int Errors)>;
using TCommRxCharEvent = std::function<void(TCustomComm* Sender, int Count)>;

// The five special characters of the line. Writing one re-applies the line settings of the
// component it belongs to (even when the value is unchanged).
class TCommEventChars {
public:
    explicit TCommEventChars(TCustomComm* owner);

    char XonChar() const { return XonChar_; }
    char XoffChar() const { return XoffChar_; }
    char ErrorChar() const { return ErrorChar_; }
    char EofChar() const { return EofChar_; }
    char EvtChar() const { return EvtChar_; }
    void SetXonChar(char c) { SetChar(1, c); }
    void SetXoffChar(char c) { SetChar(2, c); }
    void SetErrorChar(char c) { SetChar(3, c); }
    void SetEofChar(char c) { SetChar(4, c); }
    void SetEvtChar(char c) { SetChar(5, c); }
    // index 1..5 = Xon, Xoff, Error, Eof, Evt; other indexes set nothing.
    void SetChar(int index, char c);
    // Copies the five characters without touching the device; a null source is refused with
    // std::invalid_argument.
    void Assign(const TCommEventChars* source);

private:
    TCustomComm* Comm;
    char XonChar_ = 17;
    char XoffChar_ = 19;
    char ErrorChar_ = 0;
    char EofChar_ = 0;
    char EvtChar_ = 0;
};

class TCustomComm {
public:
    explicit TCustomComm(comsetup::OwnerThreadPump* pump = nullptr);
    virtual ~TCustomComm();
    TCustomComm(const TCustomComm&) = delete;
    TCustomComm& operator=(const TCustomComm&) = delete;

    void Open();
    void Close();
    bool Enabled() const { return Handle != nullptr; }

    // Bytes read (0..count, at once with what has arrived) or -1 when the device did not
    // complete in ReadTimeout. buf must hold count bytes.
    int Read(void* buf, int count);
    // Bytes written, or -1 when the line held them back longer than WriteTimeout.
    int Write(const void* buf, int count);
    // Bytes waiting in the receive queue; -1 when closed, 0 when the device cannot tell.
    int InQueCount();
    void PurgeIn();
    // Waits until received bytes wait or timeoutMs passes (-1: no limit); true when bytes wait
    // (or the device reports a hang-up, which the next Read raises). Does not consume anything:
    // for clients that would otherwise poll InQueCount in a loop. False when closed.
    bool WaitForInput(int timeoutMs);
    // Other programs that have the open device open too ("minicom (pid 4242)"), as far as the
    // system tells: one that opened it without locking it may read what the far end sends.
    // None when closed.
    std::vector<std::string> OtherUsers() const;

    // Line settings: stored, then applied at once when open.
    void SetBaudRate(TBaudrate value);
    void SetParity(TParity value);
    void SetStopbits(TStopbits value);
    void SetDatabits(TDatabits value);
    void SetOptions(TCommOptions value);
    void SetFlowControl(TFlowControl value);
    // Refused with "Port already assigned (open)" while open (unless unchanged).
    void SetDeviceName(const std::string& value);
    void SetReadBufSize(int value);
    void SetWriteBufSize(int value);
    void SetMonitorEvents(TCommEventTypes value);
    void SetReadTimeout(int ms) { ReadTimeout_ = ms; }
    void SetWriteTimeout(int ms) { WriteTimeout_ = ms; }

    const std::string& DeviceName() const { return DeviceName_; }
    int ReadTimeout() const { return ReadTimeout_; }
    int WriteTimeout() const { return WriteTimeout_; }
    int ReadBufSize() const { return ReadBufSize_; }
    int WriteBufSize() const { return WriteBufSize_; }
    TCommEventTypes MonitorEvents() const { return MonitorEvents_; }
    TBaudrate BaudRate() const { return BaudRate_; }
    TParity Parity() const { return Parity_; }
    TStopbits Stopbits() const { return Stopbits_; }
    TDatabits Databits() const { return Databits_; }
    TCommOptions Options() const { return Options_; }
    TFlowControl FlowControl() const { return FlowControl_; }
    TCommEventChars& EventChars() { return *EventChars_; }
    const TCommEventChars& EventChars() const { return *EventChars_; }
    // The control block as last filled from and written to the device.
    const comsetup::ControlBlock& ControlBlock() const { return ControlBlock_; }

    // Writes the line settings to the device when open; nothing when closed.
    void UpdateDataControlBlock();
    // Owner thread: clears the device's error state, then calls the handlers of the event bits
    // in the order Break, Cts, Dsr, Error, Ring, Rlsd, RxChar (only with bytes waiting),
    // RxFlag, TxEmpty. Stops early when a handler closes or destroys the component.
    void HandleCommEvent(TCommEventThread* Sender, uint32_t events);

    // Only the monitored events whose handler is assigned are watched; assigning or clearing
    // a handler while the port is open changes what is watched from then on.
    comsetup::CommHandler<TNotifyEvent> OnBreak{*this};
    comsetup::CommHandler<TNotifyEvent> OnCts{*this};
    comsetup::CommHandler<TNotifyEvent> OnDsr{*this};
    comsetup::CommHandler<TCommErrorEvent> OnError{*this};
    comsetup::CommHandler<TNotifyEvent> OnRing{*this};
    comsetup::CommHandler<TNotifyEvent> OnRlsd{*this};
    comsetup::CommHandler<TCommRxCharEvent> OnRxChar{*this};
    comsetup::CommHandler<TNotifyEvent> OnRxFlag{*this};
    comsetup::CommHandler<TNotifyEvent> OnTxEmpty{*this};

protected:
    // Opens the device named by DeviceName (after COMn / path mapping). A descendant may attach
    // another device with AttachHandle instead, or leave the port closed.
    virtual void CreateHandle();
    void AttachHandle(std::unique_ptr<comsetup::CommDevice> device);
    void DestroyHandle();
    void CheckOpen();
    void UpdateCommTimeouts();
    // Re-entrant for the thread that holds it: a descendant may Lock and then Read or Write.
    void Lock() { IoLock.lock(); }
    void Unlock() { IoLock.unlock(); }
    [[noreturn]] void RaiseCommError(const std::string& message, int code) const;

private:
    // Ties queued event deliveries to one open period of one live component. Touched only on
    // the owner thread.
    struct DeliveryGate {
        TCustomComm* comm;
        uint64_t generation = 0; // advanced by every Close
    };
    friend void comsetup::HandlerAssignmentChanged(TCustomComm& comm);
    void StartEventThread();
    void StopEventThread();
    // The events to watch: monitored and with a handler assigned.
    TCommEventTypes WatchedEvents() const;
    void UpdateWatchedEvents();

    std::unique_ptr<comsetup::CommDevice> Handle;
    comsetup::ControlBlock ControlBlock_;
    std::string DeviceName_ = "Com2";
    std::recursive_mutex IoLock;
    int ReadTimeout_ = 1000;
    int WriteTimeout_ = 1000;
    int ReadBufSize_ = 4096;
    int WriteBufSize_ = 2048;
    TCommEventTypes MonitorEvents_ = comsetup::AllCommEvents();
    TBaudrate BaudRate_ = br9600;
    TParity Parity_ = paNone;
    TStopbits Stopbits_ = sb10;
    TDatabits Databits_ = da8;
    std::unique_ptr<TCommEventThread> EventThread;
    TCommEventTypes watched_; // what the running event thread's device watches
    std::unique_ptr<TCommEventChars> EventChars_;
    TCommOptions Options_;
    TFlowControl FlowControl_ = fcDefault;
    comsetup::OwnerThreadPump* pump_;
    std::shared_ptr<DeliveryGate> gate_;
};

// The published form of the component.
class TComm : public TCustomComm {
public:
    using TCustomComm::TCustomComm;
};
