// TCustomComm: open/close, line settings, transfers and the receive queue.
#include "serial/comm.h"

#include "serial/event_thread.h"
#include "serial/line_settings.h"
#include "serial/platform.h"
#include "serial/port_names.h"
#include "serial/trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace comsetup {

uint32_t BaudRateValue(TBaudrate rate) {
    static constexpr uint32_t kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                          19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return kRates[rate];
}

uint8_t DataBitsValue(TDatabits bits) {
    return static_cast<uint8_t>(4 + bits);
}

} // namespace comsetup

namespace {

std::string WithCode(const std::string& text, int code) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, " (Error: %d) ", code);
    return text + suffix;
}

} // namespace

ECommError::ECommError(const std::string& message, int code)
    : std::runtime_error(WithCode(message, code)), ErrorCode(code) {}

TCustomComm::TCustomComm(comsetup::OwnerThreadPump* pump)
    : EventChars_(std::make_unique<TCommEventChars>(this)), pump_(pump),
      gate_(std::make_shared<DeliveryGate>(DeliveryGate{this})) {}

TCustomComm::~TCustomComm() {
    Close();
    gate_->comm = nullptr;
}

void TCustomComm::RaiseCommError(const std::string& message, int code) const {
    if (comsetup::SerialTraceOn())
        comsetup::SerialTrace(DeviceName_, message + " " + std::to_string(code));
    throw ECommError(message, code);
}

void TCustomComm::CheckOpen() {
    if (Enabled())
        RaiseCommError("Port already assigned (open)", -1);
}

void TCustomComm::Open() {
    if (comsetup::SerialTraceOn())
        comsetup::SerialTrace(DeviceName_, "open");
    CheckOpen();
    CreateHandle();
    if (!Enabled())
        return;
    // An event the device cannot report is refused where a handler waits for it, rather than
    // watched in vain.
    const uint32_t unreported =
        comsetup::EventMaskOf(WatchedEvents()) & ~Handle->ReportableEvents();
    if (unreported != 0)
        RaiseCommError("Error updating CommMask", comsetup::OsErrorInvalidArgument());
    StartEventThread();
    UpdateCommTimeouts();
    UpdateDataControlBlock();
    if (int err = Handle->SetupQueues(ReadBufSize_, WriteBufSize_); err != 0)
        RaiseCommError("Error initializing Read/Write Buffers", err);
}

void TCustomComm::Close() {
    if (!Enabled())
        return;
    if (comsetup::SerialTraceOn())
        comsetup::SerialTrace(DeviceName_, "close");
    DestroyHandle();
}

void TCustomComm::CreateHandle() {
    comsetup::OpenResult opened =
        comsetup::OpenSystemDevice(comsetup::ResolvePortName(DeviceName_));
    if (opened.error == comsetup::kNotSerialDevice)
        RaiseCommError("Invalid device handle, access denied", -1);
    if (!opened.device)
        RaiseCommError("Error accessing specified device", opened.error);
    AttachHandle(std::move(opened.device));
}

void TCustomComm::AttachHandle(std::unique_ptr<comsetup::CommDevice> device) {
    if (Handle)
        DestroyHandle();
    Handle = std::move(device);
}

void TCustomComm::DestroyHandle() {
    StopEventThread(); // a descendant may call this directly: the thread goes first, always
    Handle.reset();
}

void TCustomComm::StartEventThread() {
    if (pump_ == nullptr || MonitorEvents_.Empty())
        return;
    auto signal = [gate = gate_, generation = gate_->generation](uint32_t events) {
        if (gate->comm != nullptr && gate->generation == generation)
            gate->comm->HandleCommEvent(nullptr, events);
    };
    watched_ = WatchedEvents();
    EventThread = std::make_unique<TCommEventThread>(*Handle, watched_, *pump_, signal);
}

TCommEventTypes TCustomComm::WatchedEvents() const {
    TCommEventTypes handled;
    auto add = [&](TCommEventType type, bool assigned) {
        if (assigned && MonitorEvents_.Contains(type))
            handled.Include(type);
    };
    add(evBreak, static_cast<bool>(OnBreak));
    add(evCts, static_cast<bool>(OnCts));
    add(evDsr, static_cast<bool>(OnDsr));
    add(evError, static_cast<bool>(OnError));
    add(evRing, static_cast<bool>(OnRing));
    add(evRlsd, static_cast<bool>(OnRlsd));
    add(evRxChar, static_cast<bool>(OnRxChar));
    add(evRxFlag, static_cast<bool>(OnRxFlag));
    add(evTxEmpty, static_cast<bool>(OnTxEmpty));
    return handled;
}

void TCustomComm::UpdateWatchedEvents() {
    if (!EventThread)
        return; // not open, or no event thread: Open derives the set afresh
    const TCommEventTypes now = WatchedEvents();
    if (now == watched_)
        return;
    watched_ = now;
    Handle->SetEventMask(comsetup::EventMaskOf(now));
}

void comsetup::HandlerAssignmentChanged(TCustomComm& comm) {
    comm.UpdateWatchedEvents();
}

void TCustomComm::StopEventThread() {
    ++gate_->generation; // deliveries still queued for this open period are dropped
    if (EventThread) {
        EventThread->Stop();
        EventThread->Join(); // before the device closes: the thread never acts on a closed one
        EventThread.reset();
    }
}

void TCustomComm::UpdateCommTimeouts() {
    comsetup::CommTimeouts t;
    t.ReadIntervalTimeout = std::numeric_limits<uint32_t>::max();
    if (int err = Handle->SetTimeouts(t); err != 0)
        RaiseCommError("Error updating CommTimeouts", err);
}

void TCustomComm::UpdateDataControlBlock() {
    if (!Enabled())
        return;
    Handle->GetState(ControlBlock_); // a failed read keeps the last known block
    comsetup::LineSettings s;
    s.baudRate = BaudRate_;
    s.parity = Parity_;
    s.stopbits = Stopbits_;
    s.databits = Databits_;
    s.flowControl = FlowControl_;
    s.options = Options_;
    s.xonChar = EventChars_->XonChar();
    s.xoffChar = EventChars_->XoffChar();
    s.errorChar = EventChars_->ErrorChar();
    s.eofChar = EventChars_->EofChar();
    s.evtChar = EventChars_->EvtChar();
    s.readBufSize = ReadBufSize_;
    comsetup::ApplyLineSettings(ControlBlock_, s);
    if (int err = Handle->SetState(ControlBlock_); err != 0) {
        Handle->GetState(ControlBlock_); // report what the device kept, not what it refused
        RaiseCommError("Error updating DataControlBlock", err);
    }
}

int TCustomComm::Read(void* buf, int count) {
    std::lock_guard lock(IoLock);
    if (!Enabled())
        RaiseCommError("Read error", comsetup::OsErrorBadHandle());
    if (count < 0)
        RaiseCommError("Read error", comsetup::OsErrorInvalidArgument());
    const comsetup::TransferResult r = Handle->Read(buf, count, ReadTimeout_);
    if (r.error != 0)
        RaiseCommError("Read error", r.error);
    if (r.bytes > 0 && comsetup::SerialTraceOn())
        comsetup::SerialTraceBytes(DeviceName_, "read", buf, r.bytes);
    return r.bytes;
}

int TCustomComm::Write(const void* buf, int count) {
    std::lock_guard lock(IoLock);
    if (!Enabled())
        RaiseCommError("Write error", comsetup::OsErrorBadHandle());
    if (count < 0)
        RaiseCommError(
            "Write error",
            comsetup::OsErrorInvalidArgument()); // never report a negative count as written
    const comsetup::TransferResult r = Handle->Write(buf, count, WriteTimeout_);
    if (r.error != 0)
        RaiseCommError("Write error", r.error);
    if (comsetup::SerialTraceOn()) {
        comsetup::SerialTraceBytes(DeviceName_, "write", buf, count);
        if (r.bytes < 0)
            comsetup::SerialTrace(DeviceName_, "write timed out");
    }
    return r.bytes;
}

int TCustomComm::InQueCount() {
    if (!Enabled())
        return -1;
    uint32_t errors = 0;
    int count = 0;
    if (Handle->ClearErrors(errors, count) != 0)
        return 0;
    return count;
}

std::vector<std::string> TCustomComm::OtherUsers() const {
    return Enabled() ? Handle->OtherUsers() : std::vector<std::string>{};
}

void TCustomComm::PurgeIn() {
    if (Enabled() && comsetup::SerialTraceOn())
        comsetup::SerialTrace(DeviceName_, "purge input");
    if (Enabled())
        Handle->Purge(comsetup::purge::RxAbort | comsetup::purge::RxClear);
}

bool TCustomComm::WaitForInput(int timeoutMs) {
    if (!Enabled())
        return false;
    bool ready = false;
    return Handle->WaitInput(timeoutMs, ready) == 0 && ready;
}

void TCustomComm::SetDeviceName(const std::string& value) {
    if (value == DeviceName_)
        return;
    CheckOpen();
    DeviceName_ = value;
}

void TCustomComm::SetReadBufSize(int value) {
    if (value == ReadBufSize_)
        return;
    CheckOpen();
    ReadBufSize_ = value;
}

void TCustomComm::SetWriteBufSize(int value) {
    if (value == WriteBufSize_)
        return;
    CheckOpen();
    WriteBufSize_ = value;
}

void TCustomComm::SetMonitorEvents(TCommEventTypes value) {
    if (value == MonitorEvents_)
        return;
    CheckOpen();
    MonitorEvents_ = value;
}

// Line settings: store first, then apply; a refusal leaves the new value stored.
#define COMSETUP_LINE_SETTER(Name, Type, Field)                                                    \
    void TCustomComm::Name(Type value) {                                                           \
        if (value == Field)                                                                        \
            return;                                                                                \
        Field = value;                                                                             \
        UpdateDataControlBlock();                                                                  \
    }
COMSETUP_LINE_SETTER(SetBaudRate, TBaudrate, BaudRate_)
COMSETUP_LINE_SETTER(SetParity, TParity, Parity_)
COMSETUP_LINE_SETTER(SetStopbits, TStopbits, Stopbits_)
COMSETUP_LINE_SETTER(SetDatabits, TDatabits, Databits_)
COMSETUP_LINE_SETTER(SetOptions, TCommOptions, Options_)
COMSETUP_LINE_SETTER(SetFlowControl, TFlowControl, FlowControl_)
#undef COMSETUP_LINE_SETTER
