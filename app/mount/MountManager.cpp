#include "app/mount/MountManager.h"

#include "app/api/APIClient.h"
#include "app/mount/DriveRecovery.h"
#include "app/mount/DriveUnmount.h"
#include "app/mount/EngineInstaller.h"
#include "app/mount/JuicefsLog.h"
#include "app/mount/MountCommand.h"
#include "app/mount/MountError.h"
#include "app/mount/MountLogging.h"
#include "app/mount/MountPointValidator.h"
#include "app/mount/MountTuning.h"
#include "app/mount/ReadinessPoll.h"
#include "app/mount/TimeLimit.h"
#include "app/mount/WarmupRunner.h"
#include "app/settings/AppSettings.h"
#include "platform/MountProbe.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"

#include <QCoroFuture>
#include <QCoroTimer>
#include <QDir>
#include <QFileInfo>

struct MountManager::MountPlan {
    QString id;
    QString name;
    QString mountPoint;
    QString cacheFolder;
    QStringList arguments;
};

namespace {

constexpr int kRevealWarmupThreads = 32;

enum class EntryKind { absent, file, folder };

EntryKind entryKind(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return EntryKind::absent;
    return info.isDir() ? EntryKind::folder : EntryKind::file;
}

} // namespace

MountManager::MountManager(UserDefaults& defaults, QNetworkAccessManager& network, APIClient* api,
                           EngineSource engine, MountOptions options, QObject* parent)
    : QObject(parent), defaults_(defaults), network_(network), api_(api),
      engine_(std::move(engine)), options_(std::move(options)),
      workers_(options_.driveWorkerThreads), warmups_(new WarmupRunner(this)),
      recovery_(new DriveRecovery(
          {{options_.healthInterval, options_.probeLimit},
           {options_.remountFirstDelay, options_.remountMaxDelay, options_.remountTries}},
          this)) {
    connect(recovery_, &DriveRecovery::engineDied, this, &MountManager::engineDied);
    connect(recovery_, &DriveRecovery::tryDue, this, &MountManager::retryMount);
    connect(recovery_, &DriveRecovery::gaveUp, this, [this](const QString& id, const QString& why) {
        setMountState(id, DirectMountState::error(why));
    });
}

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

void MountManager::validateMountBase(const QString& base) {
    MountPointValidator::validateBase(base);
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
    validateMountBase(base);
    const QString mountPoint = MountPointValidator::child(base, filespace.mountName);
    validateMountPoint(mountPoint);
    const QString cacheFolder = MountPointValidator::child(cacheBase, filespace.id);
    const QStringList arguments = MountCommand::mountArguments(
        {filespace, mountPoint, cacheFolder, cacheSizeMB, tuningOverrides});
    if (mountStates_.value(filespace.id).isMounted() || recovery_->isRecovering(filespace.id))
        co_return;
    if (pollTimers_.contains(filespace.id) || starting_.contains(filespace.id))
        co_return;
    plans_[filespace.id] = std::make_unique<MountPlan>(
        MountPlan{filespace.id, filespace.name, mountPoint, cacheFolder, arguments});
    const quint64 attempt = nextAttempt_++;
    starting_.insert(filespace.id, attempt);
    co_await startEngine(*plans_[filespace.id], *binary, attempt);
}

// True when a healthy engine already serves the mount point; a dead mount there is detached.
QCoro::Task<bool> MountManager::adoptOrClear(const MountPlan& plan) {
    QPointer<MountManager> self(this);
    const MountProbe::Result found =
        co_await MountProbe::probeWithin(plan.mountPoint, options_.probeLimit);
    if (!self || found.health == MountProbe::Health::notMounted)
        co_return false;
    if (found.health == MountProbe::Health::alive)
        co_return true;
    qCWarning(lcMount, "found a dead mount at %s (%s); detaching it and mounting afresh",
              qUtf8Printable(plan.mountPoint), qUtf8Printable(MountProbe::describe(found)));
    DriveUnmount leftover(QString(), plan.mountPoint, options_.fusermountLocations);
    co_await leftover.force();
    co_return false;
}

QCoro::Task<void> MountManager::startEngine(MountPlan plan, QString binary, quint64 attempt) {
    QPointer<MountManager> self(this);
    // False once unmount (or the manager's end) has withdrawn this attempt.
    const auto current = [&] { return self && starting_.value(plan.id) == attempt; };

    const bool healthy = co_await adoptOrClear(plan);
    if (!current())
        co_return;
    if (healthy) {
        qCInfo(lcMount, "adopting existing mount at %s", qUtf8Printable(plan.mountPoint));
        starting_.remove(plan.id);
        attached(plan.id, plan.mountPoint);
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
        if (process)
            onParentExit(*process, id);
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
        failed(plan.id, why);
        throw TransportError(why);
    }
    qCInfo(lcMount, "juicefs mount started for %s pid=%lld", qUtf8Printable(plan.id),
           qlonglong(process->processId()));
    startPoll(plan.id, plan.mountPoint);
}

void MountManager::onParentExit(QProcess& process, const QString& id) {
    const QByteArray output = process.readAll().trimmed();
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (ok && output.isEmpty())
        qCInfo(lcMount, "juicefs parent exited code=0 (daemon spawn complete)");
    else
        qCInfo(lcMount, "juicefs parent exited code=%d output=%s", process.exitCode(),
               output.constData());
    ReadinessPoll* poll = pollTimers_.value(id);
    if (!poll)
        return;
    // A daemonising engine exits once its drive is up: look now rather than a tick later.
    if (ok) {
        poll->checkNow();
        return;
    }
    // It could not start: its own words say why, not whatever another drive logged last.
    std::optional<QString> reason = JuicefsLog::reasonFromOutput(output);
    if (!reason)
        reason = JuicefsLog::lastFatalOfProcess(Paths::juicefsLogFile(), process.processId());
    poll->fail(reason.value_or(
        QStringLiteral("the engine exited with status %1").arg(process.exitCode())));
}

void MountManager::startPoll(const QString& id, const QString& mountPoint) {
    stopPoll(id);
    auto* poll =
        new ReadinessPoll(id, mountPoint, {options_.pollTick, options_.pollLimit}, workers_, this);
    connect(poll, &ReadinessPoll::attached, this,
            [this, poll](const QString& id, const QString& mountPoint) {
                if (pollTimers_.value(id) == poll)
                    attached(id, mountPoint);
            });
    connect(poll, &ReadinessPoll::gaveUp, this,
            [this, poll](const QString& id, const QString& reason) {
                if (pollTimers_.value(id) == poll)
                    failed(id, reason);
            });
    pollTimers_.insert(id, poll);
    poll->start();
}

void MountManager::stopPoll(const QString& id) {
    if (ReadinessPoll* poll = pollTimers_.take(id))
        poll->deleteLater();
}

void MountManager::attached(const QString& id, const QString& mountPoint) {
    stopPoll(id);
    recovery_->recovered(id);
    dropLeftover(mountPoint);
    setMountState(id, DirectMountState::mounted(mountPoint));
    recovery_->watch(id, mountPoint);
}

void MountManager::failed(const QString& id, const QString& reason) {
    stopPoll(id);
    if (recovery_->isRecovering(id)) {
        recovery_->tryFailed(id, reason);
        return;
    }
    setMountState(id, DirectMountState::error(reason));
}

// ---- health and recovery --------------------------------------------------------------------

void MountManager::checkDriveHealth(const QString& mountPoint) {
    recovery_->checkMountPoint(mountPoint);
}

void MountManager::engineDied(const QString& id, const QString& reason) {
    if (unmounting_.contains(id) || !plans_.count(id))
        return;
    setMountState(id, DirectMountState::mounting());
    recovery_->begin(id, reason);
}

void MountManager::retryMount(const QString& id) {
    if (!plans_.count(id) || unmounting_.contains(id))
        return;
    const auto binary = juicefsBinary();
    if (!binary) {
        failed(id, MountError::missingJuicefs().description());
        return;
    }
    const quint64 attempt = nextAttempt_++;
    starting_.insert(id, attempt);
    [](MountManager& self, MountPlan plan, QString binary, quint64 attempt) -> QCoro::Task<> {
        try {
            co_await self.startEngine(std::move(plan), std::move(binary), attempt);
        } catch (const std::exception&) {
            // The start has already counted as a failed try.
        }
    }(*this, *plans_[id], *binary, attempt);
}

// ---- unmounting -----------------------------------------------------------------------------

// A starting engine's parent exits once its drive is attached or has failed: waiting for it
// keeps an engine from attaching after its unmount, untracked.
QCoro::Task<void> MountManager::settleStart(QString id) {
    QPointer<MountManager> self(this);
    auto it = processes_.find(id);
    if (it == processes_.end() || !it->second)
        co_return;
    QPointer<QProcess> parent(it->second.get());
    const auto limit = forcing_ ? std::chrono::milliseconds(0) : options_.startSettleLimit;
    if (!co_await ChildProcess::finishedWithin(*parent, limit) && self && parent) {
        qCWarning(lcMount, "the engine for %s did not settle; stopping it", qUtf8Printable(id));
        parent->kill();
    }
}

QCoro::Task<void> MountManager::unmount(Filespace filespace, QString base) {
    QPointer<MountManager> self(this);
    cancelWarmups();
    const QString id = filespace.id;
    recovery_->forget(id);
    if (MountPointValidator::isSingleFolderName(filespace.mountName)) {
        co_await settleStart(id);
        if (!self)
            co_return;
        starting_.remove(id);
        co_await takeDown(id, MountPointValidator::child(base, filespace.mountName));
    }
    if (!self)
        co_return;
    starting_.remove(id);
    if (auto it = processes_.find(id); it != processes_.end()) {
        ChildProcess::terminateAndRelease(std::move(it->second));
        processes_.erase(it);
    }
    stopPoll(id);
    plans_.erase(id);
    removeMountState(id);
    setUnmounting(id, nullptr);
}

QCoro::Task<void> MountManager::takeDown(QString id, QString mountPoint) {
    QPointer<MountManager> self(this);
    auto* unmount = new DriveUnmount(juicefsBinary().value_or(QString()), mountPoint,
                                     options_.fusermountLocations, this);
    setUnmounting(id, unmount);
    if (forcing_)
        co_await unmount->force();
    if (!self)
        co_return;
    const DriveUnmount::Outcome outcome = co_await unmount->run();
    if (!self)
        co_return;
    unmount->deleteLater();
    if (outcome.stayedMounted) {
        qCWarning(lcMount, "%s stayed mounted at %s: %s; its engine keeps running",
                  qUtf8Printable(id), qUtf8Printable(mountPoint), qUtf8Printable(outcome.reason));
        emit driveStayedMounted(id, mountPoint, outcome.reason);
    }
}

QCoro::Task<void> MountManager::forceUnmounts() {
    forcing_ = true;
    QList<QPointer<DriveUnmount>> running;
    for (DriveUnmount* unmount : std::as_const(unmounting_))
        running.append(unmount);
    for (const QPointer<DriveUnmount>& unmount : running) {
        if (unmount)
            co_await unmount->force();
    }
}

void MountManager::setUnmounting(const QString& id, DriveUnmount* unmount) {
    if (unmount)
        unmounting_.insert(id, unmount);
    else if (unmounting_.remove(id) == 0)
        return;
    emit unmountingChanged();
}

// ---- mounts left by an earlier run ----------------------------------------------------------

QCoro::Task<void> MountManager::findLeftoverMounts(QString base) {
    QPointer<MountManager> self(this);
    QStringList ours;
    for (const auto& [id, plan] : plans_)
        ours.append(plan->mountPoint);
    QFuture<QStringList> scanning = workers_.run([base, ours] {
        QStringList found = MountTable::engineMountsIn(MountPointValidator::normalised(base));
        for (const QString& mountPoint : ours)
            found.removeAll(MountTable::kernelPath(mountPoint));
        return found;
    });
    QStringList found = co_await scanning;
    if (!self)
        co_return;
    // The scan may have run after this run's own drives attached: those are not left over.
    for (const auto& [id, plan] : plans_)
        found.removeAll(plan->mountPoint);
    if (found == leftovers_)
        co_return;
    if (!found.isEmpty())
        qCInfo(lcMount, "drives left mounted by an earlier run: %s",
               qUtf8Printable(found.join(QStringLiteral(", "))));
    leftovers_ = found;
    emit leftoverMountsChanged();
}

QCoro::Task<void> MountManager::unmountLeftovers() {
    QPointer<MountManager> self(this);
    const QStringList leftovers = leftovers_;
    for (const QString& mountPoint : leftovers) {
        const QString id = QStringLiteral("leftover:") + mountPoint;
        co_await takeDown(id, mountPoint);
        if (!self)
            co_return;
        dropLeftover(mountPoint);
        setUnmounting(id, nullptr);
    }
}

void MountManager::dropLeftover(const QString& mountPoint) {
    if (leftovers_.removeAll(mountPoint) > 0)
        emit leftoverMountsChanged();
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
            setCloudStatsError(describeError(error));
    }
}

std::optional<QString> MountManager::localURL(const QString& volumePath) const {
    const QStringList pieces = volumePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // A ".." step would lead out of the drive.
    if (pieces.contains(QStringLiteral("..")))
        return std::nullopt;
    const auto inside = [&pieces](QString location, qsizetype from) {
        for (qsizetype i = from; i < pieces.size(); ++i) {
            if (pieces[i] != QLatin1String("."))
                location += QLatin1Char('/') + pieces[i];
        }
        return location;
    };
    // Workspace paths start with the filespace ("/Team/Plans"), and each filespace is its own
    // drive: a path naming a mounted filespace resolves inside that drive.
    if (!pieces.isEmpty()) {
        for (const Filespace& filespace : filespaces_) {
            const DirectMountState state = mountStates_.value(filespace.id);
            if (state.isMounted() &&
                (pieces.first() == filespace.mountName || pieces.first() == filespace.name))
                return inside(state.path(), 1);
        }
    }
    for (const Filespace& filespace : filespaces_) {
        const DirectMountState state = mountStates_.value(filespace.id);
        if (state.isMounted())
            return inside(state.path(), 0);
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
