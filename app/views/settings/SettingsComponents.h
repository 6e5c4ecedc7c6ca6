#pragma once

#include "app/settings/AppSettings.h"
#include "app/views/common/ChangeHook.h"
#include "app/views/common/ComponentStates.h"

#include <QCoroTask>
#include <QUrl>
#include <functional>
#include <optional>

class APIClient;
class FileViewer;
class MountManager;
class Prompts;

// What the settings window works with: the components it observes, its private copy of the
// settings and the callbacks that hand its results back.
struct SettingsComponents {
    APIClient& apiClient;
    MountManager& mountManager;
    FileViewer& viewer;
    Prompts& prompts;
    // The copy the window edits; nothing takes effect until it is saved.
    AppSettings settings{};

    // Stores the settings, applies and publishes them, and closes the window.
    std::function<void(const AppSettings&)> onSettingsSaved{};
    std::function<void()> onCheckForUpdates{};
    // A sign-in succeeded here: the drives are to be activated.
    std::function<void()> onDidLogin{};
    // Signs out (the drives stay); the API client's own sign-out when empty. Throws what the
    // sign-out reports (a copy of the token left behind).
    std::function<QCoro::Task<>()> onSignOut{};

    std::function<UpdateCardState()> update{};
    ChangeHook updateChanged{};
    // Why the login item is not working, when it is not.
    std::function<std::optional<QString>()> launchAtLoginProblem{};
    // The file-manager menu: its state now, and switching it on (then its state).
    std::function<QCoro::Task<FinderExtensionState>()> finderState{};
    std::function<QCoro::Task<FinderExtensionState>()> enableFinderExtension{};
    FinderExtensionState initialFinderState = FinderExtensionState::enabled;
    // Writes the diagnostics report; its path, or nothing when it could not be written.
    std::function<QCoro::Task<std::optional<QString>>(AppSettings)> exportDiagnostics{};
    // Opens a web address; the desktop's handler when empty.
    std::function<void(const QUrl&)> openURL{};
};
