#pragma once

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>

// Runs the event loop until the condition holds or the deadline passes; true when it held.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::seconds(15)) {
    QTimer expiry;
    expiry.setSingleShot(true);
    expiry.start(deadline);
    while (!condition()) {
        if (!expiry.isActive())
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
