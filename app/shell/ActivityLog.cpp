#include "app/shell/ActivityLog.h"

#include "app/activity/SyncStatusReader.h"
#include "app/mount/MountManager.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/StatusSnapshot.h"

#include <QLocale>
#include <QTextStream>

namespace {

void print(const QString& line) {
    QTextStream out(stdout);
    out << "[Kelvane] " << line << Qt::endl;
}

QString describe(const QJsonObject& state) {
    const QString kind = state.value("state").toString();
    if (state.contains("path"))
        return kind + " at " + state.value("path").toString();
    if (state.contains("message"))
        return kind + ": " + state.value("message").toString();
    return kind;
}

} // namespace

ActivityLog::ActivityLog(AppDelegate& delegate, QObject* parent)
    : QObject(parent), delegate_(delegate) {
    MountManager& mounts = delegate.mountManager();
    connect(&mounts, &MountManager::directMountStateChanged, this, &ActivityLog::logMountChanges);
    connect(&mounts, &MountManager::mountStatesChanged, this, &ActivityLog::logMountChanges);
    connect(&delegate.syncStatus(), &SyncStatusReader::changed, this,
            &ActivityLog::logActivityChanges);
}

void ActivityLog::logMountChanges() {
    MountManager& mounts = delegate_.mountManager();
    const MountStateMap states = mounts.mountStates();
    for (const Filespace& f : mounts.filespaces()) {
        const QJsonObject state = StatusSnapshot::stateToJson(states.value(f.id));
        if (lastStates_.value(f.id) != state)
            print(f.name + ": " + describe(state));
        lastStates_.insert(f.id, state);
    }
    const QJsonObject aggregate = StatusSnapshot::stateToJson(mounts.directMountState());
    if (aggregate != lastAggregate_)
        print("drives: " + describe(aggregate));
    lastAggregate_ = aggregate;
}

void ActivityLog::logActivityChanges() {
    SyncStatusReader& reader = delegate_.syncStatus();
    const qint64 backlog = reader.uploadBacklogBytes();
    const bool active = reader.isAnyActive();
    if (backlog == lastBacklog_ && active == lastActive_)
        return;
    lastBacklog_ = backlog;
    lastActive_ = active;
    const QLocale c = QLocale::c();
    QString line =
        active ? QStringLiteral("activity: data is moving") : QStringLiteral("activity: idle");
    if (backlog > 0) {
        line += "; upload backlog " + c.formattedDataSize(backlog) + " at " +
                c.formattedDataSize(qint64(reader.uploadRate())) + "/s";
        if (const auto eta = reader.uploadETA())
            line += QStringLiteral(", about %1 s left").arg(qRound(*eta));
    }
    print(line);
}
