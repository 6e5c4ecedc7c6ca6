#include "app/shell/AppDelegate.h"

#include "app/activation/StorageActivation.h"
#include "app/activity/SyncListener.h"
#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/fileprovider-domain/FileProviderManager.h"
#include "app/finder/FinderExtension.h"
#include "app/mount/MountManager.h"
#include "app/settings/SharedConfig.h"
#include "app/shell/AppUI.h"
#include "app/shell/SettingsReaction.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent>

AppDelegate::AppDelegate(AppServices services, AppUI& ui, QObject* parent)
    : QObject(parent), services_(std::move(services)), ui_(ui) {
    apiClient_ =
        std::make_unique<APIClient>(services_.defaults, services_.keychain, services_.network);
    mountManager_ =
        std::make_unique<MountManager>(services_.defaults, services_.network, apiClient_.get(),
                                       services_.engine, services_.mountOptions);
    fileProvider_ = std::make_unique<FileProviderManager>(services_.domains, services_.viewer);
    syncStatus_ = std::make_unique<SyncStatusReader>();
    finderExtension_ = std::make_shared<const FinderExtension>(services_.finder);
    activation_ = std::make_unique<StorageActivation>(
        StorageActivation::Components{*apiClient_, *mountManager_, *fileProvider_, *syncStatus_,
                                      services_.defaults,
                                      [this]() -> SyncListener& { return syncListener(); }},
        services_.activation);
    connect(activation_.get(), &StorageActivation::restoreFinished, this,
            &AppDelegate::restoreFinished);
    connect(activation_.get(), &StorageActivation::activationFinished, this,
            &AppDelegate::activationFinished);
    connect(activation_.get(), &StorageActivation::sessionRejected, this,
            &AppDelegate::endRejectedSession);
    // A drive whose files stop answering may have lost its engine: look at it now.
    connect(syncStatus_.get(), &SyncStatusReader::mountUnreachable, mountManager_.get(),
            &MountManager::checkDriveHealth);
}

AppDelegate::~AppDelegate() = default;

AppSettings AppDelegate::settings() const {
    return AppSettings::load(services_.defaults);
}

StorageMode AppDelegate::storageMode() const {
    return modeOverride_.value_or(settings().storageMode);
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
    SharedConfig::publish(hasAddress ? apiURL : std::nullopt, apiClient_->token(),
                          settings().mountPoint, std::nullopt);
}

void AppDelegate::applicationDidFinishLaunching() {
    ui_.applyAppearance(settings().appearance);
    ui_.setupStatusItem();
    ui_.setupPopover();
    ui_.observeSystemTheme();
    publishAtLaunch();
    // Drives an earlier run left mounted are reported until a filespace adopts them.
    mountManager_->findLeftoverMounts(settings().mountPoint);
    // The login item and the update timer join the launch here.
    registerFinderExtension();
    if (apiClient_->isLoggedIn())
        activation_->restore(storageMode());
    syncStatus_->start();
    connect(
        syncStatus_.get(), &SyncStatusReader::changed, this, [this] { ui_.updateStatusIcon(); },
        Qt::QueuedConnection);
}

// Registration and the first state look run on a worker, one after the other: both touch the
// file managers' files and may wait on gsettings.
// The worker holds its own copy of the extension, and the result is dropped when the delegate
// has gone meanwhile.
QCoro::Task<> AppDelegate::registerFinderExtension() {
    const QPointer<AppDelegate> self(this);
    const std::shared_ptr<const FinderExtension> extension = finderExtension_;
    QFuture<FinderExtensionState> done = QtConcurrent::run([extension] {
        extension->registerBundledExtension();
        return extension->state();
    });
    const FinderExtensionState state = co_await done;
    if (self)
        publishFinderExtensionState(state);
}

QCoro::Task<> AppDelegate::refreshFinderExtensionState() {
    const QPointer<AppDelegate> self(this);
    const std::shared_ptr<const FinderExtension> extension = finderExtension_;
    QFuture<FinderExtensionState> done =
        QtConcurrent::run([extension] { return extension->state(); });
    const FinderExtensionState state = co_await done;
    if (self)
        publishFinderExtensionState(state);
}

void AppDelegate::publishFinderExtensionState(FinderExtensionState state) {
    const bool changed = state != finderExtensionState_;
    finderExtensionState_ = state;
    if (changed)
        emit finderExtensionStateChanged(state);
}

void AppDelegate::endRejectedSession() {
    apiClient_->logout();
    activation_->stopRetrying();
    // Nothing will adopt them now; their engines upload what is staged as they let go.
    mountManager_->unmountLeftovers();
}

QCoro::Task<> AppDelegate::activateStorageMode(StorageMode mode) {
    return activation_->activate(mode);
}

void AppDelegate::didLogin() {
    activation_->activate(storageMode());
}

void AppDelegate::didLoginElsewhere() {
    if (const auto apiURL = services_.defaults.string(DefaultsKeys::kApiURL))
        apiClient_->setBaseURL(APIClient::parseServerURL(*apiURL));
    // The restore's first request waits for this read of the new token.
    apiClient_->reloadToken();
    activation_->restore(storageMode());
}

void AppDelegate::didLogoutElsewhere() {
    activation_->stopRetrying();
    // The other process removed the token; deleting again could remove a newer sign-in's.
    apiClient_->reloadToken();
    if (syncListener_)
        syncListener_->stop();
}

void AppDelegate::openSettings() {
    ui_.openSettingsWindow();
}

QCoro::Task<> AppDelegate::signOut() {
    activation_->stopRetrying();
    if (syncListener_)
        syncListener_->stop();
    co_await apiClient_->logout();
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
        activation_->remount(newSettings.storageMode);
        break;
    case SettingsReaction::activate:
        activation_->activate(newSettings.storageMode);
        break;
    case SettingsReaction::none:
        break;
    }
    ui_.closeSettingsWindow();
}

QCoro::Task<> AppDelegate::applicationWillTerminate() {
    activation_->shutDown();
    // Drives are unmounted in either mode: a file-provider run has none, an earlier run may.
    co_await activation_->unmountAll();
    co_await mountManager_->unmountLeftovers();
}

QCoro::Task<> AppDelegate::terminateNow() {
    co_await mountManager_->forceUnmounts();
}
