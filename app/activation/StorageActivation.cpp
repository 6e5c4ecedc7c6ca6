#include "app/activation/StorageActivation.h"

#include "app/activation/MountNameClash.h"
#include "app/activity/SyncListener.h"
#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/api/APIError.h"
#include "app/fileprovider-domain/FileProviderManager.h"
#include "app/mount/MountError.h"
#include "app/mount/MountManager.h"
#include "app/settings/SharedConfig.h"
#include "shared/ConsoleLine.h"
#include "shared/KelvaneError.h"

#include <QCoroSignal>
#include <QCoroTimer>
#include <QNetworkInformation>
#include <QPointer>

namespace {

bool isUnauthorized(const std::exception& e) {
    const auto* api = dynamic_cast<const APIError*>(&e);
    return api && api->kind() == APIError::Kind::unauthorized;
}

bool isTransport(const std::exception& e) {
    return dynamic_cast<const TransportError*>(&e) != nullptr;
}

} // namespace

StorageActivation::StorageActivation(Components components, QObject* parent)
    : StorageActivation(std::move(components), Options{}, parent) {}

StorageActivation::StorageActivation(Components components, Options options, QObject* parent)
    : QObject(parent), c_(std::move(components)), options_(options),
      nextRetryDelay_(options.retryFirst) {
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, [this] { submit(Kind::activate, retryMode_); });
    if (options_.followNetwork)
        followNetwork();
}

StorageActivation::~StorageActivation() = default;

AppSettings StorageActivation::settings() const {
    return AppSettings::load(c_.defaults);
}

void StorageActivation::followNetwork() {
    if (!QNetworkInformation::instance() && !QNetworkInformation::loadDefaultBackend())
        return;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) {
                if (reachability == QNetworkInformation::Reachability::Online &&
                    retryTimer_.isActive()) {
                    retryTimer_.stop();
                    submit(Kind::activate, retryMode_);
                }
            });
}

QCoro::Task<> StorageActivation::restore(StorageMode mode) {
    return submit(Kind::restore, mode);
}

QCoro::Task<> StorageActivation::activate(StorageMode mode) {
    return submit(Kind::activate, mode);
}

QCoro::Task<> StorageActivation::unmountAll() {
    return submit(Kind::unmountAll, StorageMode::directMount);
}

QCoro::Task<> StorageActivation::remount(StorageMode mode) {
    return submit(Kind::remount, mode);
}

void StorageActivation::stopRetrying() {
    retryTimer_.stop();
    nextRetryDelay_ = options_.retryFirst;
    if (phase_ == Phase::waitingToRetry)
        setPhase(Phase::idle);
}

void StorageActivation::setPhase(Phase phase) {
    if (phase_ == phase)
        return;
    phase_ = phase;
    emit phaseChanged();
}

QCoro::Task<> StorageActivation::submit(Kind kind, StorageMode mode) {
    if (shutDown_ && kind != Kind::unmountAll)
        co_return;
    QPointer<StorageActivation> self(this);
    const quint64 ticket = ++newest_;
    retryTimer_.stop();
    while (busy_) {
        co_await qCoro(this, &StorageActivation::operationEnded);
        if (!self || newest_ != ticket)
            co_return; // a newer request took this one's place
    }
    busy_ = true;
    running_ = ticket;
    Outcome outcome = Outcome::done;
    try {
        outcome = co_await perform(kind, mode);
    } catch (const std::exception& e) {
        ConsoleLine::app(QStringLiteral("activation failed: ") + describeError(e));
    }
    if (!self)
        co_return;
    busy_ = false;
    if (outcome == Outcome::retryLater && !superseded() && !shutDown_) {
        scheduleRetry(mode);
    } else {
        if (outcome == Outcome::done && !superseded())
            nextRetryDelay_ = options_.retryFirst;
        setPhase(Phase::idle);
    }
    if (outcome == Outcome::rejected)
        emit sessionRejected();
    if (kind == Kind::restore)
        emit restoreFinished();
    emit operationEnded();
}

void StorageActivation::scheduleRetry(StorageMode mode) {
    retryMode_ = mode;
    ConsoleLine::app(QStringLiteral("trying again in %1 s").arg(nextRetryDelay_.count() / 1000.0));
    retryTimer_.start(nextRetryDelay_);
    nextRetryDelay_ = std::min(nextRetryDelay_ * 2, options_.retryMax);
    setPhase(Phase::waitingToRetry);
}

QCoro::Task<StorageActivation::Outcome> StorageActivation::perform(Kind kind, StorageMode mode) {
    switch (kind) {
    case Kind::restore: {
        const Outcome session = co_await confirmSession();
        if (session == Outcome::rejected || superseded())
            co_return session;
        co_return co_await activateMode(mode);
    }
    case Kind::activate:
        // A retry after an offline start also learns who is signed in.
        if (!c_.api.currentUser() && co_await confirmSession() == Outcome::rejected)
            co_return Outcome::rejected;
        co_return co_await activateMode(mode);
    case Kind::unmountAll:
        co_await unmountEveryDrive();
        co_return Outcome::done;
    case Kind::remount:
        co_await unmountEveryDrive();
        if (superseded())
            co_return Outcome::done;
        co_return co_await activateMode(mode);
    }
    co_return Outcome::done;
}

QCoro::Task<StorageActivation::Outcome> StorageActivation::confirmSession() {
    setPhase(Phase::connecting);
    try {
        co_await c_.api.fetchMe();
    } catch (const std::exception& e) {
        if (isUnauthorized(e))
            co_return Outcome::rejected;
        // Offline or server down: go on, so the drives still come up.
    }
    co_return Outcome::done;
}

QCoro::Task<StorageActivation::Outcome> StorageActivation::activateMode(StorageMode mode) {
    const Outcome outcome = mode == StorageMode::fileprovider ? co_await activateFileProvider()
                                                              : co_await activateDirectMount();
    if (!superseded())
        emit activationFinished(mode);
    co_return outcome;
}

QCoro::Task<StorageActivation::Outcome> StorageActivation::activateFileProvider() {
    co_await unmountEveryDrive();
    c_.activity.setJuicefsMountPaths({});
    co_await c_.fileProvider.registerDomain();
    co_await QCoro::sleepFor(options_.fileProviderSettle);
    if (superseded())
        co_return Outcome::done;
    c_.fileProvider.refresh();
    c_.fileProvider.startBackgroundSync();
    c_.listener().start();
    co_return Outcome::done;
}

QCoro::Task<StorageActivation::Outcome> StorageActivation::activateDirectMount() {
    setPhase(Phase::connecting);
    co_await c_.fileProvider.unregisterDomain();
    c_.listener().stop();

    QList<Filespace> filespaces;
    try {
        filespaces = co_await c_.api.fetchFilespaces();
    } catch (const std::exception& e) {
        if (isUnauthorized(e))
            co_return Outcome::rejected;
        c_.mounts.setDirectMountState(DirectMountState::error(
            QStringLiteral("Couldn't load filespaces: ") + describeError(e)));
        co_return isTransport(e) ? Outcome::retryLater : Outcome::done;
    }
    if (superseded())
        co_return Outcome::done;
    if (filespaces.isEmpty()) {
        c_.mounts.setDirectMountState(
            DirectMountState::error(QStringLiteral("No filespaces available for your account")));
        co_return Outcome::done;
    }
    QStringList watched;
    for (const Filespace& f : filespaces)
        watched.append(settings().mountPoint + '/' + f.mountName);
    c_.activity.setJuicefsMountPaths(watched);

    const QMap<QString, QString> overrides = co_await tuningOverrides();
    if (superseded())
        co_return Outcome::done;
    setPhase(Phase::mounting);
    c_.mounts.setDirectMountState(DirectMountState::mounting());
    try {
        co_await c_.mounts.ensureJuicefsInstalled();
    } catch (const std::exception& e) {
        c_.mounts.setDirectMountState(DirectMountState::error(describeError(e)));
        co_return isTransport(e) ? Outcome::retryLater : Outcome::done;
    }
    if (superseded())
        co_return Outcome::done;

    const AppSettings s = settings();
    c_.mounts.setFilespaces(filespaces);
    c_.mounts.setLastBase(s.mountPoint);
    QStringList mountPaths;
    for (const Filespace& f : filespaces)
        mountPaths.append(s.mountPoint + '/' + f.mountName);
    SharedConfig::publish(std::nullopt, std::nullopt, s.mountPoint, mountPaths);
    co_await mountEach(filespaces, s, overrides);
    co_return Outcome::done;
}

QCoro::Task<QMap<QString, QString>> StorageActivation::tuningOverrides() {
    try {
        const ProvisionConfig config = co_await c_.api.fetchProvisionConfig();
        co_return config.mountOptions.value_or(QMap<QString, QString>());
    } catch (const std::exception& e) {
        ConsoleLine::app(
            QStringLiteral("provision config unavailable, using default mount tuning: ") +
            describeError(e));
    }
    co_return QMap<QString, QString>();
}

QCoro::Task<> StorageActivation::mountEach(QList<Filespace> filespaces, AppSettings s,
                                           QMap<QString, QString> overrides) {
    const QMap<QString, QString> clashes = MountNameClash::find(filespaces);
    for (const Filespace& f : filespaces) {
        // A newer request takes over between drives: every drive started so far is tracked.
        if (superseded())
            break;
        try {
            if (clashes.contains(f.id))
                throw MountError::mountNameClash(f.mountName, clashes.value(f.id));
            co_await c_.mounts.mount(f, s.mountPoint, s.cacheDir, s.cacheSizeMB, overrides);
        } catch (const std::exception& e) {
            c_.mounts.setMountState(f.id, DirectMountState::error(describeError(e)));
            c_.mounts.recomputeAggregate();
        }
    }
    c_.mounts.recomputeAggregate();
}

QCoro::Task<> StorageActivation::unmountEveryDrive() {
    QPointer<StorageActivation> self(this);
    setPhase(Phase::unmounting);
    const QString base = c_.mounts.lastBase();
    // All at once: each drive's engine uploads what it has staged while the others do too.
    std::vector<QCoro::Task<void>> unmounts;
    for (const Filespace& f : c_.mounts.filespaces())
        unmounts.push_back(c_.mounts.unmount(f, base));
    for (QCoro::Task<void>& unmount : unmounts)
        co_await unmount;
}
