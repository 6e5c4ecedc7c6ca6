#include "app/shell/ActivityLog.h"

#include "app/activity/SyncStatusReader.h"
#include "app/mount/MountManager.h"
#include "shared/ConsoleLine.h"

#include <QLocale>

ActivityLog::ActivityLog(const MountManager& mounts, const SyncStatusReader& activity,
                         QObject* parent)
    : QObject(parent), mounts_(mounts), activity_(activity) {
    connect(&mounts, &MountManager::directMountStateChanged, this, &ActivityLog::logMountChanges);
    connect(&mounts, &MountManager::mountStatesChanged, this, &ActivityLog::logMountChanges);
    connect(&mounts, &MountManager::unmountingChanged, this, &ActivityLog::logMountChanges);
    connect(&activity, &SyncStatusReader::changed, this, &ActivityLog::logActivityChanges);
}

void ActivityLog::logMountChanges() {
    const MountStateMap states = mounts_.mountStates();
    const QStringList unmounting = mounts_.unmounting();
    for (const Filespace& f : mounts_.filespaces()) {
        const QString state =
            unmounting.contains(f.id) ? QStringLiteral("unmounting") : describe(states.value(f.id));
        if (lastStates_.value(f.id) != state)
            ConsoleLine::app(f.name + ": " + state);
        lastStates_.insert(f.id, state);
    }
    const QString aggregate = describe(mounts_.directMountState());
    if (aggregate != lastAggregate_)
        ConsoleLine::app("drives: " + aggregate);
    lastAggregate_ = aggregate;
}

void ActivityLog::logActivityChanges() {
    const qint64 backlog = activity_.uploadBacklogBytes();
    const bool active = activity_.isAnyActive();
    if (backlog == lastBacklog_ && active == lastActive_)
        return;
    lastBacklog_ = backlog;
    lastActive_ = active;
    const QLocale c = QLocale::c();
    QString line =
        active ? QStringLiteral("activity: data is moving") : QStringLiteral("activity: idle");
    if (backlog > 0) {
        line += "; upload backlog " + c.formattedDataSize(backlog) + " at " +
                c.formattedDataSize(qint64(std::min(activity_.uploadRate(), 9.0e18))) + "/s";
        if (const auto eta = activity_.uploadETA(); eta && *eta < 1e9)
            line += QStringLiteral(", about %1 s left").arg(QString::number(*eta, 'f', 0));
    }
    ConsoleLine::app(line);
}
