#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

// At most one refresh per interval: a request after a quiet interval refreshes at once; the
// requests inside the interval collapse into one trailing refresh at its end.
class RefreshThrottle : public QObject {
    Q_OBJECT
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;

    explicit RefreshThrottle(std::chrono::milliseconds minInterval, Clock clock = {},
                             QObject* parent = nullptr);

    void request();
    // The delay the pending trailing refresh was scheduled with; nothing when none is pending.
    std::optional<std::chrono::milliseconds> pendingDelay() const;
    // The trailing refresh itself; its timer calls it.
    void fireTrailing();

signals:
    void refresh(bool debounced);

private:
    std::chrono::milliseconds minInterval_;
    Clock clock_;
    std::optional<TimePoint> lastRefreshAt_;
    QTimer trailing_;
};
