#pragma once

#include "app/settings/AppSettings.h"

// What the application delegate asks of the desktop: the status item, its popover, the theme
// and the settings window. The Qt tray implements it; headless runs use HeadlessUI.
class AppUI {
public:
    virtual ~AppUI() = default;
    virtual void setupStatusItem() = 0;
    virtual void setupPopover() = 0;
    virtual void applyAppearance(AppearanceMode mode) = 0;
    virtual void observeSystemTheme() = 0;
    virtual void updateStatusIcon() = 0;
    // Closes the popover, then opens the settings window or brings the open one to the front.
    virtual void openSettingsWindow() = 0;
    virtual void closeSettingsWindow() = 0;
};

// No desktop at all: every request is accepted and nothing is drawn.
class HeadlessUI : public AppUI {
public:
    void setupStatusItem() override {}
    void setupPopover() override {}
    void applyAppearance(AppearanceMode) override {}
    void observeSystemTheme() override {}
    void updateStatusIcon() override {}
    void openSettingsWindow() override {}
    void closeSettingsWindow() override {}
};
