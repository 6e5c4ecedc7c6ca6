#include "app/activity/RefreshThrottle.h"

RefreshThrottle::RefreshThrottle(std::chrono::milliseconds minInterval, Clock clock,
                                 QObject* parent)
    : QObject(parent), minInterval_(minInterval), clock_(std::move(clock)) {
    if (!clock_)
        clock_ = [] { return std::chrono::steady_clock::now(); };
    trailing_.setSingleShot(true);
    // A coarse timer may fire early by a few percent, which would break the interval.
    trailing_.setTimerType(Qt::PreciseTimer);
    connect(&trailing_, &QTimer::timeout, this, &RefreshThrottle::fireTrailing);
}

void RefreshThrottle::request() {
    const TimePoint now = clock_();
    const auto elapsed = lastRefreshAt_ ? now - *lastRefreshAt_ : TimePoint::duration::max();
    if (elapsed >= minInterval_) {
        // Covers everything a late trailing refresh would have covered.
        trailing_.stop();
        lastRefreshAt_ = now;
        emit refresh(false);
        return;
    }
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(minInterval_ - elapsed);
    trailing_.start(remaining);
}

std::optional<std::chrono::milliseconds> RefreshThrottle::pendingDelay() const {
    if (!trailing_.isActive())
        return std::nullopt;
    return trailing_.intervalAsDuration();
}

void RefreshThrottle::fireTrailing() {
    trailing_.stop();
    lastRefreshAt_ = clock_();
    emit refresh(true);
}
