// The GUI's owner-thread pump.
#include "app/qt_owner_pump.h"

#include <QMetaObject>

namespace comsetup {

void QtOwnerPump::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(&target_, std::move(call), Qt::QueuedConnection);
}

} // namespace comsetup
