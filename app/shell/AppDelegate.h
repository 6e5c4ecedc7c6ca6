#pragma once

#include "app/settings/AppSettings.h"
#include "app/shell/AppServices.h"

#include <QCoroTask>
#include <QObject>
#include <memory>

class APIClient;
class AppUI;
class FileProviderManager;
class MountManager;
class SyncListener;
class SyncStatusReader;

// Owns every long-lived component, runs the launch sequence and storage-mode activation, and
// reacts to sign-in, settings saves and termination. It wires components together; the logic
// of each step lives in the component it concerns. Main thread only.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate(AppServices services, AppUI& ui, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Decoded afresh from the defaults on every read.
    AppSettings settings() const;

    void applicationDidFinishLaunching();
    QCoro::Task<> activateStorageMode(StorageMode mode);
    // The settings window's save.
    void settingsSaved(const AppSettings& newSettings);
    // A sign-in happened in this process.
    void didLogin();
    // A sign-in made by another `kelvane` process: take its server address and user, then
    // activate as after any sign-in.
    void didLoginElsewhere();
    // Unmounts every drive in direct-mount mode; awaited before the process quits.
    QCoro::Task<> applicationWillTerminate();

    MountManager& mountManager() { return *mountManager_; }
    APIClient& apiClient() { return *apiClient_; }
    FileProviderManager& fileProvider() { return *fileProvider_; }
    SyncStatusReader& syncStatus() { return *syncStatus_; }
    SyncListener& syncListener();

signals:
    // The restore task (or its activation) has run to its end.
    void restoreFinished();
    // One activation has run to its end, successful or not.
    void activationFinished(StorageMode mode);

private:
    QCoro::Task<> restoreSession();
    QCoro::Task<> activateFileProvider();
    QCoro::Task<> activateDirectMount();
    QCoro::Task<> unmountAll();
    QCoro::Task<> remountAt(StorageMode mode);
    void publishAtLaunch();

    AppServices services_;
    AppUI& ui_;
    std::unique_ptr<MountManager> mountManager_;
    std::unique_ptr<APIClient> apiClient_;
    std::unique_ptr<FileProviderManager> fileProvider_;
    std::unique_ptr<SyncStatusReader> syncStatus_;
    std::unique_ptr<SyncListener> syncListener_;
};
