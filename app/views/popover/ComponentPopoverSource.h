#pragma once

#include "app/mount/DriveWorkers.h"
#include "app/settings/AppSettings.h"
#include "app/views/common/ChangeHook.h"
#include "app/views/popover/PopoverSource.h"

#include <functional>

class APIClient;
class FileProviderManager;
class FileViewer;
class MountManager;
class SyncStatusReader;
class UserDefaults;

// The components the popover reads, and the copies it is built with.
struct PopoverComponents {
    MountManager& mountManager;
    APIClient& apiClient;
    FileProviderManager& fileProvider;
    SyncStatusReader& syncStatus;
    UserDefaults& defaults;
    FileViewer& viewer;
    // Copies taken when the popover opens.
    AppSettings settings{};
    StorageMode mode = StorageMode::directMount;
    FinderExtensionState finder = FinderExtensionState::enabled;
    // The file-manager menu's state as it changes while the popover is open (switched on from
    // its card, say); the copy above stands when these are empty.
    std::function<FinderExtensionState()> finderNow{};
    ChangeHook finderChanged{};
    // The updater's and the importer's state, their change signals and the importer's cancel.
    std::function<UpdateCardState()> update{};
    ChangeHook updateChanged{};
    std::function<ImportCardState()> import{};
    ChangeHook importChanged{};
    std::function<void()> cancelImport{};
    // Opens a web address in the browser; the desktop's handler when empty.
    std::function<void(const QUrl&)> openURL{};
    QString appVersion = QStringLiteral(KELVANE_VERSION);
    QString appBuild = QStringLiteral(KELVANE_BUILD);
};

// Reads the popover's state from the application's components and follows their change
// signals.
class ComponentPopoverSource : public PopoverSource {
    Q_OBJECT
public:
    explicit ComponentPopoverSource(PopoverComponents components, QObject* parent = nullptr);

    PopoverState state() const override;
    void cancelImport() override;
    void openInFileManager() override;
    void openWebBrowser(const QUrl& address) override;
    void markOnboardingSeen() override;

private:
    template <typename Sender, typename Signal> void watch(Sender* sender, Signal signal) {
        connect(sender, signal, this, &ComponentPopoverSource::scheduleChanged);
    }

    void scheduleChanged();
    void refreshSignedIn();

    PopoverComponents c_;
    bool signedIn_ = false;
    bool onboardingSeen_ = false;
    bool changePending_ = false;
    // Looks at the mount point off the main thread: it may lie on a drive that hangs.
    DriveWorkers workers_{1};
};
