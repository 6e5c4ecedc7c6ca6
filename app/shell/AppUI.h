#pragma once

#include "app/settings/AppSettings.h"
#include "app/shell/Alert.h"

#include <QString>
#include <functional>
#include <optional>

// What the application asks of the desktop: the status item, its popover, the theme, the
// settings window, alerts and the folder chooser. The Qt tray implements it; headless runs use
// HeadlessUI; tests use a fake that records what was shown and answers for the user.
class AppUI {
public:
    // The index of the button the user chose; kDismissed when the alert went away without an
    // answer (the session ended, or nobody is there to answer).
    static constexpr int kDismissed = -1;
    using AlertAnswer = std::function<void(int button)>;
    using FolderAnswer = std::function<void(std::optional<QString> folder)>;

    virtual ~AppUI() = default;
    virtual void setupStatusItem() = 0;
    virtual void setupPopover() = 0;
    virtual void applyAppearance(AppearanceMode mode) = 0;
    virtual void observeSystemTheme() = 0;
    virtual void updateStatusIcon() = 0;
    // Closes the popover, then opens the settings window or brings the open one to the front.
    virtual void openSettingsWindow() = 0;
    virtual void closeSettingsWindow() = 0;

    // Alerts and panels answer later, from the event loop: nothing here blocks.
    virtual void showAlert(const Alert& alert, AlertAnswer answered) = 0;
    virtual void chooseFolder(const FolderPanel& panel, FolderAnswer chosen) = 0;
    // Brings the application's windows to the front.
    virtual void activateApplication() = 0;
    virtual void closePopover() = 0;
};

// No desktop at all: nothing is drawn; an alert is written to the console and dismissed, and
// the folder chooser chooses nothing.
class HeadlessUI : public AppUI {
public:
    void setupStatusItem() override {}
    void setupPopover() override {}
    void applyAppearance(AppearanceMode) override {}
    void observeSystemTheme() override {}
    void updateStatusIcon() override {}
    void openSettingsWindow() override {}
    void closeSettingsWindow() override {}
    void showAlert(const Alert& alert, AlertAnswer answered) override;
    void chooseFolder(const FolderPanel&, FolderAnswer chosen) override;
    void activateApplication() override {}
    void closePopover() override {}
};
