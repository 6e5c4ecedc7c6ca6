#pragma once

#include "app/shell/AppServices.h"

#include <memory>

class ActivityLog;
class AppCommands;
class AppDelegate;
class AppUI;
class BulkImporterControl;
class UpdaterControl;
class FileProviderDomainRegistry;
class FreedesktopFileViewer;
class InstanceChannel;
class QuitSequence;
class TerminationSignals;

// One running Kelvane, with a desktop or without: its services, the delegate, the instance
// channel and its commands, the console's activity lines, the quit sequence (also on SIGINT,
// SIGTERM and SIGHUP) and the user's commands. The headless run and the tray build the same
// runtime and differ only in their AppUI.
class AppRuntime {
public:
    struct Options {
        // Serve the filespaces through the file-provider extension (development only).
        bool fileProvider = false;
        // The arguments this run was started with, for the instance an update starts.
        QStringList arguments{};
    };

    AppRuntime(AppUI& ui, Options options);
    ~AppRuntime();
    AppRuntime(const AppRuntime&) = delete;
    AppRuntime& operator=(const AppRuntime&) = delete;

    // Claims the one instance for this user and registers the instance commands; false (with
    // a message on standard error) when another instance runs.
    bool claimInstance();
    // The launch sequence (the keychain read first); call once the instance is claimed.
    void launch();

    AppDelegate& delegate() { return *delegate_; }
    AppCommands& commands() { return *commands_; }
    InstanceChannel& channel() { return *channel_; }
    QuitSequence& quit() { return *quit_; }
    UserDefaults& defaults() { return defaults_; }
    FileViewer& viewer();

private:
    UserDefaults defaults_;
    std::unique_ptr<CredentialStore> credentials_;
    std::unique_ptr<Keychain> keychain_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::unique_ptr<FileProviderDomainRegistry> domains_;
    std::unique_ptr<FreedesktopFileViewer> viewer_;
    std::unique_ptr<AppDelegate> delegate_;
    std::unique_ptr<InstanceChannel> channel_;
    std::unique_ptr<ActivityLog> log_;
    std::unique_ptr<QuitSequence> quit_;
    std::unique_ptr<TerminationSignals> signals_;
    std::unique_ptr<BulkImporterControl> importControl_;
    std::unique_ptr<UpdaterControl> updateControl_;
    std::unique_ptr<AppCommands> commands_;
};
