#pragma once

#include <QJsonObject>
#include <QMap>
#include <QObject>

class MountManager;
class SyncStatusReader;

// Headless runs print every change of a drive's state, of the aggregate state and of the
// upload backlog as it happens, one bracketed line each.
class ActivityLog : public QObject {
    Q_OBJECT
public:
    ActivityLog(const MountManager& mounts, const SyncStatusReader& activity,
                QObject* parent = nullptr);

private:
    void logMountChanges();
    void logActivityChanges();
    const MountManager& mounts_;
    const SyncStatusReader& activity_;
    QString lastAggregate_;
    QMap<QString, QString> lastStates_;
    qint64 lastBacklog_ = -1;
    bool lastActive_ = false;
};
