#include "app/shell/AppDelegate.h"

#include "app/activity/SyncListener.h"
#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/api/APIError.h"
#include "app/fileprovider-domain/FileProviderManager.h"
#include "app/mount/MountManager.h"
#include "app/settings/SharedConfig.h"
#include "app/shell/AppUI.h"
#include "app/shell/SettingsReaction.h"
#include "platform/Logging.h"

#include <QCoroTimer>
#include <QTextStream>
#include <QTimer>

namespace {

void printLine(const QString& line) {
    QTextStream out(stdout);
    out << line << Qt::endl;
}

QString descriptionOf(const std::exception& e) {
    if (const auto* k = dynamic_cast<const KelvaneError*>(&e))
        return k->description();
    return QString::fromUtf8(e.what());
}

} // namespace

AppDelegate::AppDelegate(AppServices services, AppUI& ui, QObject* parent)
    : QObject(parent), services_(std::move(services)), ui_(ui) {
    apiClient_ =
        std::make_unique<APIClient>(services_.defaults, services_.keychain, services_.network);
    mountManager_ =
        std::make_unique<MountManager>(services_.defaults, services_.network, apiClient_.get(),
                                       services_.engine, services_.mountOptions);
    fileProvider_ = std::make_unique<FileProviderManager>(services_.domains, services_.viewer);
    syncStatus_ = std::make_unique<SyncStatusReader>();
}

AppDelegate::~AppDelegate() = default;

AppSettings AppDelegate::settings() const {
    return AppSettings::load(services_.defaults);
}

SyncListener& AppDelegate::syncListener() {
    if (!syncListener_)
        syncListener_ = std::make_unique<SyncListener>(*apiClient_, *fileProvider_);
    return *syncListener_;
}

void AppDelegate::publishAtLaunch() {
    const auto apiURL = services_.defaults.string(DefaultsKeys::kApiURL);
    const bool hasAddress = apiURL && !apiURL->isEmpty();
    if (hasAddress)
        apiClient_->setBaseURL(APIClient::parseServerURL(*apiURL));
    SharedConfig::publish(hasAddress ? apiURL : std::nullopt,
                          services_.keychain.get(Keychain::kTokenKey), settings().mountPoint,
                          std::nullopt);
}

void AppDelegate::applicationDidFinishLaunching() {
    ui_.applyAppearance(settings().appearance);
    ui_.setupStatusItem();
    ui_.setupPopover();
    ui_.observeSystemTheme();
    publishAtLaunch();
    // Login item, file-manager menu registration and the update timer join the launch here.
    if (apiClient_->isLoggedIn())
        restoreSession();
    syncStatus_->start();
    connect(
        syncStatus_.get(), &SyncStatusReader::changed, this, [this] { ui_.updateStatusIcon(); },
        Qt::QueuedConnection);
    // Links with the kelvane: scheme are handed over through the instance channel later.
}

QCoro::Task<> AppDelegate::restoreSession() {
    try {
        co_await apiClient_->fetchMe();
    } catch (const APIError& e) {
        if (e.kind() == APIError::Kind::unauthorized) {
            apiClient_->logout();
            emit restoreFinished();
            co_return;
        }
    } catch (const std::exception&) {
        // Offline or server down: mount anyway so the drives still come up.
    }
    co_await activateStorageMode(settings().storageMode);
    emit restoreFinished();
}

void AppDelegate::didLogin() {
    activateStorageMode(settings().storageMode);
}

void AppDelegate::didLoginElsewhere() {
    if (const auto apiURL = services_.defaults.string(DefaultsKeys::kApiURL))
        apiClient_->setBaseURL(APIClient::parseServerURL(*apiURL));
    restoreSession();
}

QCoro::Task<> AppDelegate::activateStorageMode(StorageMode mode) {
    if (mode == StorageMode::fileprovider)
        co_await activateFileProvider();
    else
        co_await activateDirectMount();
    emit activationFinished(mode);
}

QCoro::Task<> AppDelegate::activateFileProvider() {
    co_await unmountAll();
    syncStatus_->setJuicefsMountPaths({});
    co_await fileProvider_->registerDomain();
    // Give the system a moment to load the extension before nudging it.
    co_await QCoro::sleepFor(std::chrono::seconds(2));
    fileProvider_->refresh();
    fileProvider_->startBackgroundSync();
    syncListener().start();
}

QCoro::Task<> AppDelegate::activateDirectMount() {
    co_await fileProvider_->unregisterDomain();
    if (syncListener_)
        syncListener_->stop();

    QList<Filespace> filespaces;
    try {
        filespaces = co_await apiClient_->fetchFilespaces();
    } catch (const std::exception& e) {
        mountManager_->setDirectMountState(DirectMountState::error(
            QStringLiteral("Couldn't load filespaces: ") + descriptionOf(e)));
        co_return;
    }
    if (filespaces.isEmpty()) {
        mountManager_->setDirectMountState(
            DirectMountState::error(QStringLiteral("No filespaces available for your account")));
        co_return;
    }
    QStringList watched;
    for (const Filespace& f : filespaces)
        watched.append(settings().mountPoint + '/' + f.mountName);
    syncStatus_->setJuicefsMountPaths(watched);

    QMap<QString, QString> overrides;
    try {
        overrides = (co_await apiClient_->fetchProvisionConfig()).mountOptions.value_or(overrides);
    } catch (const std::exception& e) {
        printLine(QStringLiteral("[Kelvane] provision config unavailable, using default mount "
                                 "tuning: ") +
                  descriptionOf(e));
    }

    mountManager_->setDirectMountState(DirectMountState::mounting());
    try {
        co_await mountManager_->ensureJuicefsInstalled();
    } catch (const std::exception& e) {
        mountManager_->setDirectMountState(DirectMountState::error(descriptionOf(e)));
        co_return;
    }

    const AppSettings s = settings();
    mountManager_->setFilespaces(filespaces);
    mountManager_->setLastBase(s.mountPoint);
    QStringList mountPaths;
    for (const Filespace& f : filespaces)
        mountPaths.append(s.mountPoint + '/' + f.mountName);
    SharedConfig::publish(std::nullopt, std::nullopt, s.mountPoint, mountPaths);

    for (const Filespace& f : filespaces) {
        try {
            co_await mountManager_->mount(f, s.mountPoint, s.cacheDir, s.cacheSizeMB, overrides);
        } catch (const std::exception& e) {
            mountManager_->setMountState(f.id, DirectMountState::error(descriptionOf(e)));
            mountManager_->recomputeAggregate();
        }
    }
    mountManager_->recomputeAggregate();
}

QCoro::Task<> AppDelegate::unmountAll() {
    const QString base = mountManager_->lastBase();
    for (const Filespace& f : mountManager_->filespaces())
        co_await mountManager_->unmount(f, base);
}

void AppDelegate::settingsSaved(const AppSettings& newSettings) {
    const AppSettings old = settings();
    newSettings.save(services_.defaults);
    ui_.applyAppearance(newSettings.appearance);
    // The login item and the update timer follow the new settings here.
    SharedConfig::publish(newSettings.apiURL.isEmpty() ? std::nullopt
                                                       : std::optional(newSettings.apiURL),
                          std::nullopt, newSettings.mountPoint, std::nullopt);
    switch (reactionToSave(old, newSettings)) {
    case SettingsReaction::unmountThenActivate:
        remountAt(newSettings.storageMode);
        break;
    case SettingsReaction::activate:
        activateStorageMode(newSettings.storageMode);
        break;
    case SettingsReaction::none:
        break;
    }
    ui_.closeSettingsWindow();
}

QCoro::Task<> AppDelegate::remountAt(StorageMode mode) {
    co_await unmountAll();
    co_await activateStorageMode(mode);
}

QCoro::Task<> AppDelegate::applicationWillTerminate() {
    if (settings().storageMode == StorageMode::directMount)
        co_await unmountAll();
}
