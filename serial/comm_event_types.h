// The line events a port component reports (break, modem lines, errors, received
// characters, an empty transmit queue) and the device event bits behind them. Their own
// header, so that the event thread needs no more of the component than these names.
#pragma once

#include "serial/enum_set.h"

#include <cstdint>

enum TCommEventType : uint8_t {
    evBreak,
    evCts,
    evDsr,
    evError,
    evRing,
    evRlsd,
    evRxChar,
    evRxFlag,
    evTxEmpty
};
using TCommEventTypes = comsetup::EnumSet<TCommEventType, uint16_t>;

namespace comsetup {
// The device event bit of each event type (control_block.h's commevent bits).
uint32_t EventBit(TCommEventType type);
uint32_t EventMaskOf(TCommEventTypes events); // the union of the members' event bits
TCommEventTypes AllCommEvents();
} // namespace comsetup
