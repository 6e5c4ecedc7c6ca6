#include "app/mount/MountManager.h"

#include "app/api/APIClient.h"
#include "app/mount/EngineInstaller.h"
#include "app/mount/JuicefsLog.h"
#include "app/mount/MountCommand.h"
#include "app/mount/MountError.h"
#include "app/mount/MountPointValidator.h"
#include "app/mount/MountTable.h"
#include "app/mount/MountTuning.h"
#include "app/mount/ReadinessPoll.h"
#include "app/mount/TimeLimit.h"
#include "app/mount/WarmupRunner.h"
#include "app/settings/AppSettings.h"
#include "platform/Logging.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <QCoroFuture>
#include <QDir>
#include <QFileInfo>

struct MountManager::MountPlan {
    QString id;
    QString mountPoint;
    QString cacheFolder;
    QStringList arguments;
};

namespace {

QCoro::Task<void> runEngineUnmount(QString binary, QString mountPoint) {
    ChildProcess::Owned process(new QProcess);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(binary, MountCommand::unmountArguments(mountPoint));
    if (!co_await ChildProcess::started(*process)) {
        qCWarning(lcMount, "juicefs umount failed to start: %s",
                  qUtf8Printable(process->errorString()));
        co_return;
    }
    co_await ChildProcess::finished(*process);
    if (process->exitCode() != 0)
        qCInfo(lcMount, "juicefs umount %s exited code=%d output=%s", qUtf8Printable(mountPoint),
               process->exitCode(), process->readAll().trimmed().constData());
}

constexpr int kRevealWarmupThreads = 32;

enum class EntryKind { absent, file, folder };

EntryKind entryKind(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return EntryKind::absent;
    return info.isDir() ? EntryKind::folder : EntryKind::file;
}

QString describe(const std::exception& error) {
    if (const auto* known = dynamic_cast<const KelvaneError*>(&error))
        return known->description();
    return QString::fromUtf8(error.what());
}

} // namespace

MountManager::MountManager(UserDefaults& defaults, QNetworkAccessManager& network, APIClient* api,
                           EngineSource engine, MountOptions options, QObject* parent)
    : QObject(parent), defaults_(defaults), network_(network), api_(api),
      engine_(std::move(engine)), options_(std::move(options)),
      workers_(options_.driveWorkerThreads), warmups_(new WarmupRunner(this)) {}

MountManager::~MountManager() = default;

// ---- engine ---------------------------------------------------------------------------------

std::optional<QString> MountManager::juicefsBinary() const {
    return EngineInstaller::findBinary(options_.systemEngineLocations);
}

QString MountManager::installedMarker() {
    return EngineInstaller::installedMarker();
}

std::optional<QUrl> MountManager::apiBase() const {
    if (api_ && api_->baseURL())
        return api_->baseURL();
    if (const auto stored = defaults_.string(DefaultsKeys::kApiURL))
        return APIClient::parseServerURL(*stored);
    return std::nullopt;
}

QCoro::Task<void> MountManager::ensureJuicefsInstalled() {
    return EngineInstaller::ensureInstalled(network_, engine_, apiBase());
}

bool MountManager::isFUSEAvailable() const {
    if (!QFileInfo::exists(options_.fuseDevice))
        return false;
    for (const QString& helper : options_.fusermountLocations) {
        if (EngineInstaller::isExecutableFile(helper))
            return true;
    }
    return false;
}

// ---- tuning ---------------------------------------------------------------------------------

const QMap<QString, QString>& MountManager::tuningDefaults() {
    return MountTuning::defaults();
}

QMap<QString, QString> MountManager::resolvedTuning(const QMap<QString, QString>& overriding) {
    return MountTuning::resolved(overriding);
}

// ---- lifecycle ------------------------------------------------------------------------------

void MountManager::validateMountPoint(const QString& path) {
    MountPointValidator::validate(path);
}

bool MountManager::isJuicefsMounted(const QString& path) {
    return MountTable::isJuicefsMounted(path);
}

std::optional<QString> MountManager::lastFatalFromJuicefsLog() {
    return JuicefsLog::lastFatalFromFile(Paths::juicefsLogFile());
}

QCoro::Task<void> MountManager::mount(Filespace filespace, QString base, QString cacheBase,
                                      qint64 cacheSizeMB, QMap<QString, QString> tuningOverrides) {
    const auto binary = juicefsBinary();
    if (!binary)
        throw MountError::missingJuicefs();
    if (!isFUSEAvailable())
        throw MountError::missingFUSE();
    const QString mountPoint = MountPointValidator::child(base, filespace.mountName);
    validateMountPoint(mountPoint);
    const QString cacheFolder = MountPointValidator::child(cacheBase, filespace.id);
    const QStringList arguments = MountCommand::mountArguments(
        {filespace, mountPoint, cacheFolder, cacheSizeMB, tuningOverrides});
    if (mountStates_.value(filespace.id).isMounted())
        co_return;
    if (pollTimers_.contains(filespace.id) || starting_.contains(filespace.id))
        co_return;
    const quint64 attempt = nextAttempt_++;
    starting_.insert(filespace.id, attempt);
    MountPlan plan{filespace.id, mountPoint, cacheFolder, arguments};
    co_await startEngine(std::move(plan), *binary, attempt);
}

QCoro::Task<void> MountManager::startEngine(MountPlan plan, QString binary, quint64 attempt) {
    QPointer<MountManager> self(this);
    // False once unmount (or the manager's end) has withdrawn this attempt.
    const auto current = [&] { return self && starting_.value(plan.id) == attempt; };

    QFuture<bool> probing = workers_.run(
        [mountPoint = plan.mountPoint] { return MountTable::isJuicefsMounted(mountPoint); });
    const bool attached = co_await probing;
    if (!current())
        co_return;
    if (attached) {
        qCInfo(lcMount, "adopting existing mount at %s", qUtf8Printable(plan.mountPoint));
        starting_.remove(plan.id);
        setMountState(plan.id, DirectMountState::mounted(plan.mountPoint));
        co_return;
    }
    setMountState(plan.id, DirectMountState::mounting());
    QFuture<void> creating = workers_.run([mountPoint = plan.mountPoint, cache = plan.cacheFolder] {
        QDir().mkpath(mountPoint);
        QDir().mkpath(cache);
    });
    co_await creating;
    if (!current())
        co_return;

    ChildProcess::Owned owned(new QProcess);
    QPointer<QProcess> process(owned.get());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setInputChannelMode(QProcess::ForwardedInputChannel);
    connect(process, &QProcess::finished, this, [this, process, id = plan.id] {
        if (!process)
            return;
        logParentExit(*process);
        // A daemonising engine exits once its drive is up: look now rather than a tick later.
        if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0)
            if (ReadinessPoll* poll = pollTimers_.value(id))
                poll->checkNow();
    });
    process->start(binary, plan.arguments, QIODevice::ReadOnly);
    if (auto previous = processes_.find(plan.id); previous != processes_.end())
        ChildProcess::terminateAndRelease(std::move(previous->second));
    processes_[plan.id] = std::move(owned);

    const bool started = co_await ChildProcess::started(*process);
    if (!current())
        co_return;
    starting_.remove(plan.id);
    if (!started) {
        const QString why = process ? process->errorString() : QStringLiteral("cancelled");
        setMountState(plan.id, DirectMountState::error(why));
        throw TransportError(why);
    }
    qCInfo(lcMount, "juicefs mount started for %s pid=%lld", qUtf8Printable(plan.id),
           qlonglong(process->processId()));
    startPoll(plan.id, plan.mountPoint);
}

void MountManager::logParentExit(QProcess& process) {
    const QString output = QString::fromUtf8(process.readAll()).trimmed();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && output.isEmpty())
        qCInfo(lcMount, "juicefs parent exited code=0 (daemon spawn complete)");
    else
        qCInfo(lcMount, "juicefs parent exited code=%d output=%s", process.exitCode(),
               qUtf8Printable(output));
}

void MountManager::startPoll(const QString& id, const QString& mountPoint) {
    stopPoll(id);
    auto* poll =
        new ReadinessPoll(id, mountPoint, {options_.pollTick, options_.pollLimit}, workers_, this);
    connect(poll, &ReadinessPoll::attached, this,
            [this, poll](const QString& id, const QString& mountPoint) {
                if (pollTimers_.value(id) != poll)
                    return;
                stopPoll(id);
                setMountState(id, DirectMountState::mounted(mountPoint));
            });
    connect(poll, &ReadinessPoll::gaveUp, this,
            [this, poll](const QString& id, const QString& reason) {
                if (pollTimers_.value(id) != poll)
                    return;
                stopPoll(id);
                setMountState(id, DirectMountState::error(reason));
            });
    pollTimers_.insert(id, poll);
    poll->start();
}

void MountManager::stopPoll(const QString& id) {
    if (ReadinessPoll* poll = pollTimers_.take(id))
        poll->deleteLater();
}

QCoro::Task<void> MountManager::unmount(Filespace filespace, QString base) {
    QPointer<MountManager> self(this);
    cancelWarmups();
    starting_.remove(filespace.id);
    if (MountPointValidator::isSingleFolderName(filespace.mountName)) {
        if (const auto binary = juicefsBinary()) {
            const QString mountPoint = MountPointValidator::child(base, filespace.mountName);
            co_await runEngineUnmount(*binary, mountPoint);
        }
    }
    if (!self)
        co_return;
    if (auto it = processes_.find(filespace.id); it != processes_.end()) {
        ChildProcess::terminateAndRelease(std::move(it->second));
        processes_.erase(it);
    }
    stopPoll(filespace.id);
    removeMountState(filespace.id);
}

// ---- published state ------------------------------------------------------------------------

void MountManager::recomputeAggregate() {
    setDirectMountState(DirectMountState::aggregate(mountStates_));
}

void MountManager::setDirectMountState(const DirectMountState& state) {
    if (directMountState_ == state)
        return;
    directMountState_ = state;
    emit directMountStateChanged();
}

void MountManager::setMountState(const QString& id, const DirectMountState& state) {
    if (!mountStates_.contains(id) || mountStates_.value(id) != state) {
        mountStates_.insert(id, state);
        emit mountStatesChanged();
    }
    recomputeAggregate();
}

void MountManager::removeMountState(const QString& id) {
    if (mountStates_.remove(id) > 0)
        emit mountStatesChanged();
    recomputeAggregate();
}

void MountManager::setFilespaces(const QList<Filespace>& filespaces) {
    if (filespaces_ == filespaces)
        return;
    filespaces_ = filespaces;
    emit filespacesChanged();
}

// ---- cloud statistics and warm-up -----------------------------------------------------------

void MountManager::setCloudStats(qint64 usedBytes, qint64 fileCount) {
    if (cloudUsedBytes_ != usedBytes) {
        cloudUsedBytes_ = usedBytes;
        emit cloudUsedBytesChanged();
    }
    if (cloudFileCount_ != fileCount) {
        cloudFileCount_ = fileCount;
        emit cloudFileCountChanged();
    }
}

void MountManager::setCloudStatsError(const std::optional<QString>& error) {
    if (cloudStatsError_ == error)
        return;
    cloudStatsError_ = error;
    emit cloudStatsErrorChanged();
}

QCoro::Task<void> MountManager::refreshCloudStats() {
    if (!api_)
        co_return;
    QPointer<MountManager> self(this);
    try {
        const StorageStatsResponse stats =
            co_await TimeLimit::run(api_->getStorageStats(), options_.cloudStatsLimit);
        if (!self)
            co_return;
        setCloudStats(stats.usedBytes, stats.fileCount);
        setCloudStatsError(std::nullopt);
    } catch (const std::exception& error) {
        if (self)
            setCloudStatsError(describe(error));
    }
}

std::optional<QString> MountManager::localURL(const QString& volumePath) const {
    const QStringList pieces = volumePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // A ".." step would lead out of the drive.
    if (pieces.contains(QStringLiteral("..")))
        return std::nullopt;
    for (const Filespace& filespace : filespaces_) {
        const DirectMountState state = mountStates_.value(filespace.id);
        if (!state.isMounted())
            continue;
        QString location = state.path();
        for (const QString& piece : pieces) {
            if (piece != QLatin1String("."))
                location += QLatin1Char('/') + piece;
        }
        return location;
    }
    return std::nullopt;
}

QCoro::Task<void> MountManager::revealAndWarm(QString volumePath) {
    const auto location = localURL(volumePath);
    if (!location) {
        qCInfo(lcMount, "reveal: no mounted filespace to resolve %s", qUtf8Printable(volumePath));
        co_return;
    }
    QPointer<MountManager> self(this);
    QFuture<EntryKind> looking = workers_.run(&entryKind, *location);
    const EntryKind kind = co_await looking;
    if (!self)
        co_return;
    if (kind == EntryKind::absent) {
        qCInfo(lcMount, "reveal: path not present on the drive");
        co_return;
    }
    if (options_.reveal)
        options_.reveal(*location, kind == EntryKind::folder);
    const QStringList paths{*location};
    co_await warmup(paths, kRevealWarmupThreads);
}

QCoro::Task<bool> MountManager::warmup(QStringList paths, int threads) {
    const auto binary = juicefsBinary();
    if (!binary || paths.isEmpty())
        co_return false;
    co_return co_await warmups_->start(*binary, paths, threads);
}

void MountManager::cancelWarmups() {
    warmups_->cancelAll();
}
