#include "app/views/common/DelegateWiring.h"

#include "app/shell/AppDelegate.h"

namespace DelegateWiring {

PopoverComponents popover(AppDelegate& delegate, UserDefaults& defaults, FileViewer& viewer) {
    return PopoverComponents{
        .mountManager = delegate.mountManager(),
        .apiClient = delegate.apiClient(),
        .fileProvider = delegate.fileProvider(),
        .syncStatus = delegate.syncStatus(),
        .defaults = defaults,
        .viewer = viewer,
        .settings = delegate.settings(),
        .mode = delegate.storageMode(),
    };
}

SettingsComponents settings(AppDelegate& delegate, FileViewer& viewer, Prompts& prompts,
                            const MenuBarCommands& commands) {
    QPointer<AppDelegate> owner(&delegate);
    return SettingsComponents{
        .apiClient = delegate.apiClient(),
        .mountManager = delegate.mountManager(),
        .viewer = viewer,
        .prompts = prompts,
        .settings = delegate.settings(),
        .onSettingsSaved =
            [owner](const AppSettings& saved) {
                if (owner)
                    owner->settingsSaved(saved);
            },
        .onCheckForUpdates = commands.onCheckForUpdates,
        .onDidLogin =
            [owner] {
                if (owner)
                    owner->didLogin();
            },
        .onSignOut = [owner]() -> QCoro::Task<> {
            if (owner)
                co_await owner->signOut();
        },
    };
}

} // namespace DelegateWiring
