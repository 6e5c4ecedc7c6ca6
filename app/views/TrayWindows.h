#pragma once

#include "app/views/common/QtPrompts.h"
#include "app/views/popover/MenuBarCommands.h"

#include <memory>

class AppRuntime;
class QtUI;
class SettingsWindowHost;

// Plugs the popover's content and the settings window into the tray: both are built from the
// running application's components, and their commands are the application's commands.
class TrayWindows {
public:
    TrayWindows(QtUI& ui, AppRuntime& runtime);
    ~TrayWindows();
    TrayWindows(const TrayWindows&) = delete;
    TrayWindows& operator=(const TrayWindows&) = delete;

private:
    static MenuBarCommands commandsOf(AppRuntime& runtime);

    QtPrompts prompts_;
    MenuBarCommands commands_;
    std::unique_ptr<SettingsWindowHost> settings_;
};
