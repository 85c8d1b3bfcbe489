// Event dispatch of the component, the event types' device bits, and the component's
// special-character set.
#include "serial/comm.h"

#include <stdexcept>

namespace comsetup {

uint32_t EventBit(TCommEventType type) {
    static constexpr uint32_t kBits[] = {commevent::Break,  commevent::Cts,    commevent::Dsr,
                                         commevent::Err,    commevent::Ring,   commevent::Rlsd,
                                         commevent::RxChar, commevent::RxFlag, commevent::TxEmpty};
    return kBits[type];
}

uint32_t EventMaskOf(TCommEventTypes events) {
    uint32_t mask = 0;
    for (int i = 0; i <= static_cast<int>(evTxEmpty); ++i) {
        const auto type = static_cast<TCommEventType>(i);
        if (events.Contains(type))
            mask |= EventBit(type);
    }
    return mask;
}

TCommEventTypes AllCommEvents() {
    return TCommEventTypes::FromBits(0x01FF);
}

} // namespace comsetup

void TCustomComm::HandleCommEvent(TCommEventThread* /*Sender*/, uint32_t events) {
    namespace ev = comsetup::commevent;
    uint32_t errors = 0;
    int inQueue = 0;
    // Handlers never see undefined values: a failed count is 0, and a device fills in the
    // error bits only when it knows them.
    if (Enabled() && Handle->ClearErrors(errors, inQueue) != 0)
        inQueue = 0;

    // A handler may close or destroy this component: after each call, stop unless the same
    // open period of the same live component is still current. Handlers are copied before the
    // call so that one may reassign itself.
    const auto gate = gate_;
    const uint64_t generation = gate->generation;
    TCustomComm* const self = this;
    auto stillCurrent = [&] { return gate->comm == self && gate->generation == generation; };
    auto notify = [&](uint32_t bit, const TNotifyEvent& handler) {
        if ((events & bit) == 0 || !handler)
            return true;
        TNotifyEvent call = handler;
        call(this);
        return stillCurrent();
    };

    if (!notify(ev::Break, OnBreak.Get()) || !notify(ev::Cts, OnCts.Get()) ||
        !notify(ev::Dsr, OnDsr.Get()))
        return;
    if ((events & ev::Err) != 0 && OnError) {
        TCommErrorEvent call = OnError.Get();
        call(this, static_cast<int>(errors));
        if (!stillCurrent())
            return;
    }
    if (!notify(ev::Ring, OnRing.Get()) || !notify(ev::Rlsd, OnRlsd.Get()))
        return;
    if ((events & ev::RxChar) != 0 && inQueue > 0 && OnRxChar) {
        TCommRxCharEvent call = OnRxChar.Get();
        call(this, inQueue);
        if (!stillCurrent())
            return;
    }
    if (!notify(ev::RxFlag, OnRxFlag.Get()))
        return;
    notify(ev::TxEmpty, OnTxEmpty.Get());
}

TCommEventChars::TCommEventChars(TCustomComm* owner) : Comm(owner) {}

void TCommEventChars::SetChar(int index, char c) {
    switch (index) {
    case 1:
        XonChar_ = c;
        break;
    case 2:
        XoffChar_ = c;
        break;
    case 3:
        ErrorChar_ = c;
        break;
    case 4:
        EofChar_ = c;
        break;
    case 5:
        EvtChar_ = c;
        break;
    default:
        break;
    }
    if (Comm != nullptr)
        Comm->UpdateDataControlBlock();
}

void TCommEventChars::Assign(const TCommEventChars* source) {
    if (source == nullptr)
        throw std::invalid_argument("Cannot assign a nil to a TCommEventChars");
    XonChar_ = source->XonChar_;
    XoffChar_ = source->XoffChar_;
    ErrorChar_ = source->ErrorChar_;
    EofChar_ = source->EofChar_;
    EvtChar_ = source->EvtChar_;
}
