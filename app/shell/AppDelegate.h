#pragma once

#include "app/diagnostics/Diagnostics.h"
#include "app/finder/FinderExtensionState.h"
#include "app/settings/AppSettings.h"
#include "app/shell/AppServices.h"

#include <QCoroTask>
#include <QObject>
#include <memory>
#include <optional>

class APIClient;
class FinderExtension;
class AppUI;
class BulkImporter;
class FileProviderManager;
class MountManager;
class StorageActivation;
class SyncListener;
class SyncStatusReader;
class Updater;

// Owns every long-lived component and wires them together; each component does its own work.
//  - MountManager: the drives (mount, watch, bring back, unmount).
//  - APIClient: the session and the account endpoints.
//  - FileProviderManager: the file-provider domain.
//  - SyncStatusReader: drive activity, read twice a second.
//  - SyncListener: the server's change events (file-provider mode; created on first use).
//  - FinderExtension: the file-manager menu's registration; its state is published in
//    finderExtensionState for the views.
//  - BulkImporter: copying a folder into a filespace with the engine's sync.
//  - Updater: update checks (automatic when the settings say so) and verified installs.
//  - StorageActivation: making the filespaces available, one operation at a time, retried
//    while the network is away; triggered by the launch's restore, sign-ins, settings saves
//    and the quit.
// Main thread only.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate(AppServices services, AppUI& ui, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Decoded afresh from the defaults on every read.
    AppSettings settings() const;
    // The mode activations use: the settings' (always direct mount), unless a developer run
    // asked for the file-provider extension.
    StorageMode storageMode() const;
    void overrideStorageMode(StorageMode mode) { modeOverride_ = mode; }

    void applicationDidFinishLaunching();
    // The login item follows the settings; the very first run turns launch-at-login on once.
    void applyLaunchAtLogin();
    QCoro::Task<> activateStorageMode(StorageMode mode);
    // The settings window's save.
    void settingsSaved(const AppSettings& newSettings);
    // A sign-in happened in this process.
    void didLogin();
    // A sign-in made by another `kelvane` process: take its server address and user, then
    // activate as after any sign-in.
    void didLoginElsewhere();
    // A sign-out made by another `kelvane` process: this instance signs out too (drives stay).
    void didLogoutElsewhere();
    // The settings window's "Sign Out": the session ends here (the drives stay); throws
    // SessionStorageError naming any copy of the token that could not be removed.
    QCoro::Task<> signOut();
    void openSettings();
    // Unmounts every drive, each engine uploading what it has staged first; awaited before the
    // process quits.
    QCoro::Task<> applicationWillTerminate();
    // A second quit request: stop waiting for uploads (staged data stays on disk and uploads at
    // the next start).
    QCoro::Task<> terminateNow();
    // A check asked for by the user (manual) or the timer, against the server in the settings
    // or the one signed in to.
    QCoro::Task<> checkForUpdates(bool manual);

    // What the diagnostics report is made from: the settings, every drive's state, the stored
    // token (read on a worker), the login item and the engine.
    QCoro::Task<Diagnostics::Sources> diagnosticsSources();

    MountManager& mountManager() { return *mountManager_; }
    APIClient& apiClient() { return *apiClient_; }
    FileProviderManager& fileProvider() { return *fileProvider_; }
    SyncStatusReader& syncStatus() { return *syncStatus_; }
    StorageActivation& activation() { return *activation_; }
    BulkImporter& importer() { return *importer_; }
    Updater& updater() { return *updater_; }
    SyncListener& syncListener();
    const FinderExtension& finderExtension() const { return *finderExtension_; }

    // The file-manager menu's last known state (enabled until the first look says otherwise).
    FinderExtensionState finderExtensionState() const { return finderExtensionState_; }
    // Looks at the state on a worker and publishes it.
    QCoro::Task<> refreshFinderExtensionState();
    UserDefaults& defaults() const { return services_.defaults; }

signals:
    // The restore task (or its activation) has run to its end.
    void restoreFinished();
    // One activation has run to its end, successful or not.
    void activationFinished(StorageMode mode);
    void finderExtensionStateChanged(FinderExtensionState state);
    // Something inside the application (an update's install) asks for the normal quit, which
    // unmounts the drives first.
    void quitRequested();

private:
    void publishAtLaunch();
    void endRejectedSession();
    QCoro::Task<> registerFinderExtension();
    void publishFinderExtensionState(FinderExtensionState state);

    AppServices services_;
    AppUI& ui_;
    std::unique_ptr<MountManager> mountManager_;
    std::unique_ptr<APIClient> apiClient_;
    std::unique_ptr<FileProviderManager> fileProvider_;
    std::unique_ptr<SyncStatusReader> syncStatus_;
    std::unique_ptr<BulkImporter> importer_;
    std::unique_ptr<Updater> updater_;
    std::unique_ptr<SyncListener> syncListener_;
    std::unique_ptr<StorageActivation> activation_;
    std::shared_ptr<const FinderExtension> finderExtension_;
    FinderExtensionState finderExtensionState_ = FinderExtensionState::enabled;
    std::optional<StorageMode> modeOverride_;
};
