#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>

// Runs the event loop until the condition holds or the deadline passes; true when it held.
// The one way tests wait: never a bare sleep.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::seconds(15)) {
    if (condition())
        return true;
    const QDeadlineTimer expiry(deadline);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (condition() || expiry.hasExpired())
            loop.quit();
    });
    tick.start();
    loop.exec();
    return condition();
}
