#include "app/mount/DriveRecovery.h"

#include "app/mount/MountLogging.h"

DriveRecovery::DriveRecovery(Options options, QObject* parent)
    : QObject(parent), options_(options) {}

DriveRecovery::~DriveRecovery() = default;

void DriveRecovery::watch(const QString& id, const QString& mountPoint) {
    stopWatching(id);
    auto* health = new DriveHealthWatch(id, mountPoint, options_.health, this);
    connect(health, &DriveHealthWatch::died, this, [this](const QString& id, const QString& why) {
        stopWatching(id);
        emit engineDied(id, why);
    });
    watches_.insert(id, health);
    mountPoints_.insert(id, mountPoint);
    health->start();
}

void DriveRecovery::stopWatching(const QString& id) {
    mountPoints_.remove(id);
    if (DriveHealthWatch* health = watches_.take(id))
        health->deleteLater();
}

void DriveRecovery::forget(const QString& id) {
    stopWatching(id);
    schedules_.erase(id);
    if (QTimer* timer = timers_.take(id))
        timer->deleteLater();
}

void DriveRecovery::checkMountPoint(const QString& mountPoint) {
    for (auto it = mountPoints_.cbegin(); it != mountPoints_.cend(); ++it) {
        if (it.value() == mountPoint)
            watches_.value(it.key())->checkNow();
    }
}

void DriveRecovery::begin(const QString& id, const QString& reason) {
    qCWarning(lcMount, "the engine of %s stopped (%s); mounting it again", qUtf8Printable(id),
              qUtf8Printable(reason));
    schedules_[id] = std::make_unique<RemountSchedule>(options_.limits);
    scheduleNext(id, reason);
}

void DriveRecovery::tryFailed(const QString& id, const QString& reason) {
    if (isRecovering(id))
        scheduleNext(id, reason);
}

bool DriveRecovery::recovered(const QString& id) {
    const bool was = isRecovering(id);
    forget(id);
    if (was)
        qCInfo(lcMount, "%s is back: its engine answers again", qUtf8Printable(id));
    return was;
}

void DriveRecovery::scheduleNext(const QString& id, const QString& reason) {
    RemountSchedule& schedule = *schedules_.at(id);
    const auto delay = schedule.nextDelay();
    if (!delay) {
        qCWarning(lcMount, "giving up on %s after %d tries: %s", qUtf8Printable(id),
                  schedule.triesAllowed(), qUtf8Printable(reason));
        forget(id);
        emit gaveUp(id, reason);
        return;
    }
    schedule.started();
    qCInfo(lcMount, "remounting %s in %lld ms (try %d of %d)", qUtf8Printable(id),
           qlonglong(delay->count()), schedule.triesStarted(), schedule.triesAllowed());
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, id] { emit tryDue(id); });
    }
    timer->start(*delay);
}
