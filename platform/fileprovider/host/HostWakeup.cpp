#include "platform/fileprovider/host/HostWakeup.h"

std::shared_ptr<HostWakeup> HostWakeup::make() {
    return std::shared_ptr<HostWakeup>(new HostWakeup, [](HostWakeup* w) { w->deleteLater(); });
}

void HostWakeup::notify() {
    QMetaObject::invokeMethod(this, &HostWakeup::woke, Qt::QueuedConnection);
}
