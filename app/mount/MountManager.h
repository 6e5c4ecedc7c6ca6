#pragma once

#include "app/api/Filespace.h"
#include "app/mount/ChildProcess.h"
#include "app/mount/DirectMountState.h"
#include "app/mount/DriveWorkers.h"
#include "app/mount/EngineSource.h"
#include "app/mount/MountOptions.h"

#include <QCoroTask>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <map>
#include <optional>

class APIClient;
class QNetworkAccessManager;
class ReadinessPoll;
class UserDefaults;
class WarmupRunner;

// Mounts each filespace of the workspace as its own drive by running the engine, watches each
// mount until the kernel lists it, and unmounts. All state lives on the main thread; anything
// that touches a drive or waits for a child runs off it.
class MountManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 cloudUsedBytes READ cloudUsedBytes NOTIFY cloudUsedBytesChanged)
    Q_PROPERTY(qint64 cloudFileCount READ cloudFileCount NOTIFY cloudFileCountChanged)
    Q_PROPERTY(DirectMountState directMountState READ directMountState WRITE setDirectMountState
                   NOTIFY directMountStateChanged)
    Q_PROPERTY(MountStateMap mountStates READ mountStates NOTIFY mountStatesChanged)
    Q_PROPERTY(
        QList<Filespace> filespaces READ filespaces WRITE setFilespaces NOTIFY filespacesChanged)
public:
    // The services must outlive the manager. api may be null: no cloud statistics then, and an
    // empty download base falls back to the server address stored in the defaults.
    MountManager(UserDefaults& defaults, QNetworkAccessManager& network, APIClient* api,
                 EngineSource engine = EngineSource::pinned(), MountOptions options = {},
                 QObject* parent = nullptr);
    ~MountManager() override;

    // Engine installation.
    std::optional<QString> juicefsBinary() const;
    static QString installedMarker();
    QCoro::Task<void> ensureJuicefsInstalled();
    bool isFUSEAvailable() const;

    // Tuning.
    static const QMap<QString, QString>& tuningDefaults();
    static QMap<QString, QString> resolvedTuning(const QMap<QString, QString>& overriding);

    // Lifecycle. mount throws MountError or TransportError; unmount never fails.
    QCoro::Task<void> mount(Filespace filespace, QString base, QString cacheBase,
                            qint64 cacheSizeMB, QMap<QString, QString> tuningOverrides);
    QCoro::Task<void> unmount(Filespace filespace, QString base);
    static void validateMountPoint(const QString& path);
    // Blocking (resolves the parent folder): call off the main thread.
    static bool isJuicefsMounted(const QString& path);
    static std::optional<QString> lastFatalFromJuicefsLog();
    void recomputeAggregate();

    // Published state.
    DirectMountState directMountState() const { return directMountState_; }
    void setDirectMountState(const DirectMountState& state);
    MountStateMap mountStates() const { return mountStates_; }
    // Sets one filespace's entry and recomputes the aggregate.
    void setMountState(const QString& id, const DirectMountState& state);
    QList<Filespace> filespaces() const { return filespaces_; }
    void setFilespaces(const QList<Filespace>& filespaces);
    QString lastBase() const { return lastBase_; }
    void setLastBase(const QString& base) { lastBase_ = base; }
    qint64 cloudUsedBytes() const { return cloudUsedBytes_; }
    qint64 cloudFileCount() const { return cloudFileCount_; }
    std::optional<QString> cloudStatsError() const { return cloudStatsError_; }

    // Cloud statistics and warm-up.
    QCoro::Task<void> refreshCloudStats();
    std::optional<QString> localURL(const QString& volumePath) const;
    QCoro::Task<void> revealAndWarm(QString volumePath);
    QCoro::Task<bool> warmup(QStringList paths, int threads);
    void cancelWarmups();

signals:
    void cloudUsedBytesChanged();
    void cloudFileCountChanged();
    void cloudStatsErrorChanged();
    void directMountStateChanged();
    void mountStatesChanged();
    void filespacesChanged();

private:
    struct MountPlan;
    QCoro::Task<void> startEngine(MountPlan plan, QString binary, quint64 attempt);
    void startPoll(const QString& id, const QString& mountPoint);
    void stopPoll(const QString& id);
    void removeMountState(const QString& id);
    void logParentExit(QProcess& process);
    std::optional<QUrl> apiBase() const;
    void setCloudStats(qint64 usedBytes, qint64 fileCount);
    void setCloudStatsError(const std::optional<QString>& error);

    UserDefaults& defaults_;
    QNetworkAccessManager& network_;
    QPointer<APIClient> api_;
    EngineSource engine_;
    MountOptions options_;
    DriveWorkers workers_;
    WarmupRunner* warmups_;

    qint64 cloudUsedBytes_ = 0;
    qint64 cloudFileCount_ = 0;
    std::optional<QString> cloudStatsError_;
    DirectMountState directMountState_;
    MountStateMap mountStates_;
    QList<Filespace> filespaces_;
    std::map<QString, ChildProcess::Owned> processes_;
    QMap<QString, ReadinessPoll*> pollTimers_;
    // Mounts between their first check and their poll; unmount withdraws the ticket.
    QMap<QString, quint64> starting_;
    quint64 nextAttempt_ = 1;
    QString lastBase_;
};
