#pragma once

#include "app/mount/DriveHealthWatch.h"
#include "app/mount/RemountSchedule.h"

#include <QMap>
#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

// Keeps mounted drives honest: follows each one's engine, and when an engine dies runs the
// schedule of tries to bring its drive back (1, 2, 4 … s apart, a few tries, then it gives up).
// It decides when; the mount manager does the mounting.
class DriveRecovery : public QObject {
    Q_OBJECT
public:
    struct Options {
        DriveHealthWatch::Timing health;
        RemountSchedule::Limits limits;
    };

    explicit DriveRecovery(Options options, QObject* parent = nullptr);
    ~DriveRecovery() override;

    // The drive is mounted: follow its engine.
    void watch(const QString& id, const QString& mountPoint);
    // The drive is being unmounted: stop following it and stop bringing it back.
    void forget(const QString& id);
    // Something else saw the drive at this mount point fail: look at it now.
    void checkMountPoint(const QString& mountPoint);

    // Starts bringing a drive back after its engine died.
    void begin(const QString& id, const QString& reason);
    bool isRecovering(const QString& id) const { return schedules_.count(id) > 0; }
    // A try has failed: the next one is scheduled, or the drive is given up.
    void tryFailed(const QString& id, const QString& reason);
    // The drive is attached again; true when it was being brought back.
    bool recovered(const QString& id);

signals:
    void engineDied(const QString& id, const QString& reason);
    // Time to start the drive's engine again.
    void tryDue(const QString& id);
    // Every try failed; the reason is the last one's.
    void gaveUp(const QString& id, const QString& reason);

private:
    void stopWatching(const QString& id);
    void scheduleNext(const QString& id, const QString& reason);

    Options options_;
    QMap<QString, DriveHealthWatch*> watches_;
    QMap<QString, QString> mountPoints_;
    std::map<QString, std::unique_ptr<RemountSchedule>> schedules_;
    QMap<QString, QTimer*> timers_;
};
