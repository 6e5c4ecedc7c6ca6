#pragma once

#include "app/views/common/ComponentStates.h"

#include <functional>

// The delegate's commands the popover calls; each may be empty (nothing happens).
struct MenuBarCommands {
    std::function<void()> onEnableFinderExtension{};
    std::function<void()> onImportFolder{};
    std::function<void()> onCheckForUpdates{};
    std::function<void(const UpdateRelease&)> onInstallUpdate{};
    std::function<void()> onOpenSettings{};
    std::function<void()> onQuit{};
};
