// Runs an owner pump's deliveries until a condition holds, for the event tests.
#pragma once

#include "serial/owner_pump.h"

#include <chrono>

namespace comsetup {

// Pumps until pred holds or about two seconds pass; returns pred().
template <typename P> bool PumpUntil(QueuedOwnerPump& pump, P pred) {
    using namespace std::chrono_literals;
    for (int i = 0; i < 200 && !pred(); ++i)
        pump.WaitAndRunPending(10ms);
    return pred();
}

} // namespace comsetup
