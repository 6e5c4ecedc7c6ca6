#include "app/views/TrayWindows.h"

#include "app/shell/AppCommands.h"
#include "app/shell/AppRuntime.h"
#include "app/views/QtUI.h"
#include "app/views/common/DelegateWiring.h"
#include "app/views/popover/MenuBarFactory.h"
#include "app/views/settings/SettingsWindow.h"
#include "app/views/settings/SettingsWindowHost.h"

TrayWindows::TrayWindows(QtUI& ui, AppRuntime& runtime) : commands_(commandsOf(runtime)) {
    AppDelegate& delegate = runtime.delegate();
    FileViewer& viewer = runtime.viewer();
    UserDefaults& defaults = runtime.defaults();
    ui.setPopoverContent(MenuBarFactory::factory(
        [&delegate, &defaults, &viewer] {
            return DelegateWiring::popover(delegate, defaults, viewer);
        },
        commands_));
    settings_ = std::make_unique<SettingsWindowHost>([this, &delegate, &viewer] {
        return DelegateWiring::settings(delegate, viewer, prompts_, commands_);
    });
    ui.setSettingsWindow([this] { settings_->open(); }, [this] { settings_->close(); });
}

TrayWindows::~TrayWindows() = default;

MenuBarCommands TrayWindows::commandsOf(AppRuntime& runtime) {
    AppCommands& commands = runtime.commands();
    MenuBarCommands menu;
    menu.onImportFolder = [&commands] { commands.importFolder(); };
    menu.onCheckForUpdates = [&commands] { commands.checkForUpdates(true); };
    menu.onInstallUpdate = [&commands](const UpdateRelease& release) {
        commands.promptToInstall(
            ReleaseInfo{release.version, release.build, release.url, release.published});
    };
    menu.onQuit = [&commands] { commands.applicationShouldTerminate(); };
    return DelegateWiring::popoverCommands(runtime.delegate(), runtime.viewer(), std::move(menu));
}
