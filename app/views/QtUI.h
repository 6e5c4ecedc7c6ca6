#pragma once

#include "app/shell/AppUI.h"
#include "app/views/PopoverWindow.h"
#include "app/views/tray/TrayHost.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class AppCommands;
class AppDelegate;
class QMenu;
class QMessageBox;
class StatusItem;

// The desktop side of the application on Qt Widgets: the tray icon with its helm and menu, the
// popover, alerts as message boxes and the folder chooser. Attach it to the delegate and the
// commands before the launch sequence runs.
class QtUI : public QObject, public AppUI {
    Q_OBJECT
public:
    explicit QtUI(TrayHost::Options trayOptions = {}, QObject* parent = nullptr);
    ~QtUI() override;

    void attach(AppDelegate& delegate, AppCommands& commands);
    // What the popover shows; built anew each time it opens. A placeholder until set.
    void setPopoverContent(PopoverWindow::ContentFactory factory);
    // The settings window's owner plugs in here; the tray menu offers "Settings…" once set.
    void setSettingsWindow(std::function<void()> open, std::function<void()> close);

    void setupStatusItem() override;
    void setupPopover() override;
    void applyAppearance(AppearanceMode mode) override;
    void observeSystemTheme() override;
    void updateStatusIcon() override;
    void openSettingsWindow() override;
    void closeSettingsWindow() override;
    void showAlert(const Alert& alert, AlertAnswer answered) override;
    void chooseFolder(const FolderPanel& panel, FolderAnswer chosen) override;
    void activateApplication() override;
    void closePopover() override;

    // The status item's action: closes an open popover, else opens it and refreshes the session.
    void togglePopover();
    // Closes every open alert as dismissed: the session is ending and nobody will answer.
    void dismissAlerts();

    StatusItem* statusItem() const { return statusItem_; }
    PopoverWindow* popover() const { return popover_; }
    QMenu* menu() const { return menu_.get(); }
    TrayHost& tray() { return *tray_; }
    // For `kelvane` tools and tests: which tray, the helm's state, the popover.
    QJsonObject describe() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* placeholderContent() const;
    void buildMenu();

    AppDelegate* delegate_ = nullptr;
    AppCommands* commands_ = nullptr;
    std::unique_ptr<TrayHost> tray_;
    std::unique_ptr<QMenu> menu_;
    StatusItem* statusItem_ = nullptr;
    PopoverWindow* popover_ = nullptr;
    PopoverWindow::ContentFactory contentFactory_;
    std::function<void()> openSettings_;
    std::function<void()> closeSettings_;
    AppearanceMode appearance_ = AppearanceMode::system;
    QList<QPointer<QWidget>> alerts_;
    bool themeUpdateQueued_ = false;
};
