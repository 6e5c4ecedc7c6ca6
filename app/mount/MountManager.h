#pragma once

#include "app/api/Filespace.h"
#include "app/mount/DirectMountState.h"
#include "app/mount/DriveWorkers.h"
#include "app/mount/EngineSource.h"
#include "app/mount/MountOptions.h"
#include "platform/ChildProcess.h"

#include <QCoroTask>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <map>
#include <memory>
#include <optional>

class APIClient;
class DriveRecovery;
class DriveUnmount;
class QNetworkAccessManager;
class ReadinessPoll;
class UserDefaults;
class WarmupRunner;

// Mounts each filespace of the workspace as its own drive by running the engine, watches each
// mount until the kernel lists it, keeps watching it while it is mounted (a drive whose engine
// died is brought back, with back-off), and unmounts. All state lives on the main thread;
// anything that touches a drive or waits for a child runs off it.
class MountManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 cloudUsedBytes READ cloudUsedBytes NOTIFY cloudUsedBytesChanged)
    Q_PROPERTY(qint64 cloudFileCount READ cloudFileCount NOTIFY cloudFileCountChanged)
    Q_PROPERTY(DirectMountState directMountState READ directMountState WRITE setDirectMountState
                   NOTIFY directMountStateChanged)
    Q_PROPERTY(MountStateMap mountStates READ mountStates NOTIFY mountStatesChanged)
    Q_PROPERTY(
        QList<Filespace> filespaces READ filespaces WRITE setFilespaces NOTIFY filespacesChanged)
    Q_PROPERTY(QStringList unmounting READ unmounting NOTIFY unmountingChanged)
    Q_PROPERTY(QStringList leftoverMounts READ leftoverMounts NOTIFY leftoverMountsChanged)
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

    // Lifecycle. mount throws MountError or TransportError; unmount never fails. An unmount
    // waits for the engine to upload what is staged; forceUnmounts() stops that wait for every
    // drive being unmounted (the staged data stays on disk and uploads at the next mount).
    QCoro::Task<void> mount(Filespace filespace, QString base, QString cacheBase,
                            qint64 cacheSizeMB, QMap<QString, QString> tuningOverrides);
    QCoro::Task<void> unmount(Filespace filespace, QString base);
    QCoro::Task<void> forceUnmounts();
    static void validateMountPoint(const QString& path);
    // A folder drives can be mounted in: absolute, and not the system root. Throws MountError.
    static void validateMountBase(const QString& base);
    // Another part saw the drive at this mount point fail: look at its engine now.
    void checkDriveHealth(const QString& mountPoint);

    // Engine mounts in the base folder that no filespace of this run has claimed yet (left by
    // an earlier run). Adopting a drive's mount takes it off the list.
    QCoro::Task<void> findLeftoverMounts(QString base);
    QCoro::Task<void> unmountLeftovers();
    QStringList leftoverMounts() const { return leftovers_; }
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
    // Ids of the drives being unmounted right now.
    QStringList unmounting() const { return unmounting_.keys(); }

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
    void unmountingChanged();
    void leftoverMountsChanged();
    // An unmount left the drive mounted (in use): its engine keeps running.
    void driveStayedMounted(const QString& id, const QString& mountPoint, const QString& reason);

private:
    struct MountPlan;
    QCoro::Task<void> startEngine(MountPlan plan, QString binary, quint64 attempt);
    QCoro::Task<bool> adoptOrClear(const MountPlan& plan);
    void onParentExit(QProcess& process, const QString& id);
    void startPoll(const QString& id, const QString& mountPoint);
    void stopPoll(const QString& id);
    void attached(const QString& id, const QString& mountPoint);
    void failed(const QString& id, const QString& reason);
    void engineDied(const QString& id, const QString& reason);
    void retryMount(const QString& id);
    QCoro::Task<void> settleStart(QString id);
    QCoro::Task<void> takeDown(QString id, QString mountPoint);
    void removeMountState(const QString& id);
    void setUnmounting(const QString& id, DriveUnmount* unmount);
    void dropLeftover(const QString& mountPoint);
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
    std::map<QString, std::unique_ptr<MountPlan>> plans_;
    DriveRecovery* recovery_;
    QMap<QString, DriveUnmount*> unmounting_;
    QStringList leftovers_;
    // After forceUnmounts(): every later unmount detaches without waiting too.
    bool forcing_ = false;
    // Mounts between their first check and their poll; unmount withdraws the ticket.
    QMap<QString, quint64> starting_;
    quint64 nextAttempt_ = 1;
    QString lastBase_;
};
