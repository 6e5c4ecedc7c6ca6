#include "app/shell/AppDelegate.h"

#include "app/activation/StorageActivation.h"
#include "app/activity/SyncListener.h"
#include "app/activity/SyncStatusReader.h"
#include "app/api/APIClient.h"
#include "app/fileprovider-domain/FileProviderManager.h"
#include "app/finder/FinderExtension.h"
#include "app/import/BulkImporter.h"
#include "app/mount/MountManager.h"
#include "app/mount/TimeLimit.h"
#include "app/settings/SharedConfig.h"
#include "app/shell/AppUI.h"
#include "app/shell/SettingsReaction.h"
#include "platform/LaunchAtLogin.h"

#include <QCoroFuture>
#include <QtConcurrent>

namespace {

constexpr std::chrono::seconds kKeychainLimit{10};

QCoro::Task<std::optional<QString>> awaitToken(QFuture<std::optional<QString>> read) {
    co_return co_await read;
}

} // namespace
#include "app/update/Updater.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent>

AppDelegate::AppDelegate(AppServices services, AppUI& ui, QObject* parent)
    : QObject(parent), services_(std::move(services)), ui_(ui) {
    // Links and the popover reveal drive items in the file manager: a folder opens, a file is
    // selected in its folder.
    if (!services_.mountOptions.reveal)
        services_.mountOptions.reveal = [viewer = &services_.viewer](const QString& path,
                                                                     bool isFolder) {
            isFolder ? viewer->openFolder(path) : viewer->selectItem(path);
        };
    apiClient_ =
        std::make_unique<APIClient>(services_.defaults, services_.keychain, services_.network);
    mountManager_ =
        std::make_unique<MountManager>(services_.defaults, services_.network, apiClient_.get(),
                                       services_.engine, services_.mountOptions);
    fileProvider_ = std::make_unique<FileProviderManager>(services_.domains, services_.viewer);
    syncStatus_ = std::make_unique<SyncStatusReader>();
    updater_ = std::make_unique<Updater>(
        services_.defaults, services_.network, [this] { emit quitRequested(); }, services_.update);
    finderExtension_ = std::make_shared<const FinderExtension>(services_.finder);
    importer_ = std::make_unique<BulkImporter>(services_.network);
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
    if (hasAddress) {
        apiClient_->setBaseURL(APIClient::parseServerURL(*apiURL));
        updater_->setSiteURL(*apiURL);
    }
    SharedConfig::publish(hasAddress ? apiURL : std::nullopt, apiClient_->token(),
                          settings().mountPoint, std::nullopt);
}

void AppDelegate::applicationDidFinishLaunching() {
    ui_.applyAppearance(settings().appearance);
    ui_.setupStatusItem();
    ui_.setupPopover();
    ui_.observeSystemTheme();
    publishAtLaunch();
    applyLaunchAtLogin();
    // Drives an earlier run left mounted are reported until a filespace adopts them.
    mountManager_->findLeftoverMounts(settings().mountPoint);
    registerFinderExtension();
    updater_->setAutomatic(settings().automaticUpdates);
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

void AppDelegate::applyLaunchAtLogin() {
    if (!services_.defaults.boolean(DefaultsKeys::kLoginItemMigrated)) {
        services_.defaults.setValue(DefaultsKeys::kLoginItemMigrated, true);
        AppSettings current = settings();
        if (!current.launchAtLogin) {
            current.launchAtLogin = true;
            current.save(services_.defaults);
        }
    }
    LaunchAtLogin::reconcile(settings().launchAtLogin);
}

QCoro::Task<Diagnostics::Sources> AppDelegate::diagnosticsSources() {
    Diagnostics::Sources sources;
    sources.settings = settings();
    sources.filespaces = mountManager_->filespaces();
    sources.mountStates = mountManager_->mountStates();
    sources.loginItemStatus = int(LaunchAtLogin::status());
    sources.fileManagerExtension = FinderExtensionStates::name(finderExtensionState_);
    sources.fuseInstalled = mountManager_->isFUSEAvailable();
    sources.juicefs = mountManager_->juicefsBinary();
    sources.version = QStringLiteral(KELVANE_VERSION);
    sources.build = QStringLiteral(KELVANE_BUILD);
    // A keyring may block; a report without the token check beats a frozen application.
    Keychain& keychain = services_.keychain;
    QFuture<std::optional<QString>> read =
        QtConcurrent::run([&keychain] { return keychain.get(Keychain::kTokenKey); });
    try {
        sources.storedToken = co_await TimeLimit::run(awaitToken(read), kKeychainLimit);
    } catch (const TransportError&) {
        sources.storedToken.reset();
    }
    co_return sources;
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
    LaunchAtLogin::reconcile(newSettings.launchAtLogin);
    updater_->setAutomatic(newSettings.automaticUpdates);
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
    // An engine copying on after the application is gone would be out of anyone's sight.
    importer_->cancel();
    activation_->shutDown();
    // Drives are unmounted in either mode: a file-provider run has none, an earlier run may.
    co_await activation_->unmountAll();
    co_await mountManager_->unmountLeftovers();
}

QCoro::Task<> AppDelegate::checkForUpdates(bool manual) {
    std::optional<QString> site = services_.defaults.string(DefaultsKeys::kApiURL);
    if (const QString apiURL = settings().apiURL; !apiURL.isEmpty())
        site = apiURL;
    updater_->setSiteURL(site);
    co_await updater_->check(manual);
}

QCoro::Task<> AppDelegate::terminateNow() {
    co_await mountManager_->forceUnmounts();
}
