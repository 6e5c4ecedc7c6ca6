#pragma once

#include <QObject>
#include <memory>

// Wakes the host's waiting event loop when an extension calls back, from whatever thread it
// calls. Shared by whoever may call back late; destroyed on its own thread.
class HostWakeup : public QObject {
    Q_OBJECT
public:
    static std::shared_ptr<HostWakeup> make();

    // Thread-safe: the signal is delivered on the host's thread.
    void notify();

signals:
    void woke();

private:
    HostWakeup() = default;
};
