// The owner-thread pump of the GUI: calls posted from the serial event thread are queued to
// the GUI thread's event loop and run there whenever it processes events (also inside the
// download's waits). Calls still queued when the pump is destroyed are dropped.
#pragma once

#include "serial/owner_pump.h"

#include <QObject>

namespace comsetup {

class QtOwnerPump final : public OwnerThreadPump {
public:
    QtOwnerPump() = default;
    // Any thread.
    void Post(std::function<void()> call) override;

private:
    QObject target_; // lives in the thread that created the pump: the GUI thread
};

} // namespace comsetup
