#include "app/views/QtUI.h"

#include "app/mount/MountManager.h"
#include "app/shell/AppCommands.h"
#include "app/shell/AppDelegate.h"
#include "app/views/tray/StatusItem.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

QtUI::QtUI(TrayHost::Options trayOptions, QObject* parent)
    : QObject(parent), tray_(std::make_unique<TrayHost>(trayOptions)) {}

QtUI::~QtUI() {
    dismissAlerts();
    delete popover_;
}

void QtUI::attach(AppDelegate& delegate, AppCommands& commands) {
    delegate_ = &delegate;
    commands_ = &commands;
}

void QtUI::setPopoverContent(PopoverWindow::ContentFactory factory) {
    contentFactory_ = std::move(factory);
    if (popover_)
        popover_->setContentFactory(contentFactory_);
}

void QtUI::setSettingsWindow(std::function<void()> open, std::function<void()> close) {
    openSettings_ = std::move(open);
    closeSettings_ = std::move(close);
    if (menu_)
        buildMenu();
}

void QtUI::buildMenu() {
    if (!menu_)
        menu_ = std::make_unique<QMenu>();
    menu_->clear();
    // GNOME's AppIndicator opens this menu on a single click: its first entry opens the popover.
    menu_->addAction(QStringLiteral("Open Kelvane"), this, [this] { togglePopover(); });
    if (openSettings_)
        menu_->addAction(QStringLiteral("Settings…"), this, [this] { openSettings_(); });
    menu_->addSeparator();
    menu_->addAction(QStringLiteral("Quit Kelvane"), this, [this] {
        if (commands_)
            commands_->applicationShouldTerminate();
    });
}

void QtUI::setupStatusItem() {
    Q_ASSERT(delegate_);
    statusItem_ = new StatusItem(*delegate_, this);
    buildMenu();
    tray_->setMenu(menu_.get());
    connect(tray_.get(), &TrayHost::activated, this, &QtUI::togglePopover);
    connect(tray_.get(), &TrayHost::ready, this, [this] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        statusItem_->setDevicePixelRatio(screen ? screen->devicePixelRatio() : 1);
    });
    statusItem_->setSurface(tray_.get());
    tray_->start();
}

void QtUI::setupPopover() {
    popover_ = new PopoverWindow;
    popover_->setAppearance(appearance_);
    popover_->setContentFactory(contentFactory_ ? contentFactory_
                                                : [this] { return placeholderContent(); });
}

QWidget* QtUI::placeholderContent() const {
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    auto* title = new QLabel(QStringLiteral("<b>Kelvane</b>"));
    auto* state = new QLabel(delegate_ ? ::describe(delegate_->mountManager().directMountState())
                                       : QString());
    state->setWordWrap(true);
    layout->addWidget(title);
    layout->addWidget(state);
    layout->addStretch();
    return content;
}

void QtUI::applyAppearance(AppearanceMode mode) {
    appearance_ = mode;
    if (popover_)
        popover_->setAppearance(mode);
}

void QtUI::observeSystemTheme() {
    qApp->installEventFilter(this);
}

bool QtUI::eventFilter(QObject* watched, QEvent* event) {
    const bool themeEvent = event->type() == QEvent::ThemeChange ||
                            (event->type() == QEvent::ApplicationPaletteChange && watched == qApp);
    // A theme change reaches every widget; one redraw is enough.
    if (themeEvent && !themeUpdateQueued_) {
        themeUpdateQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            themeUpdateQueued_ = false;
            updateStatusIcon();
        });
    }
    return QObject::eventFilter(watched, event);
}

void QtUI::updateStatusIcon() {
    if (statusItem_)
        statusItem_->updateStatusIcon();
}

void QtUI::openSettingsWindow() {
    closePopover();
    if (openSettings_)
        openSettings_();
}

void QtUI::closeSettingsWindow() {
    if (closeSettings_)
        closeSettings_();
}

void QtUI::showAlert(const Alert& alert, AlertAnswer answered) {
    auto* box = new QMessageBox(alert.style == Alert::Style::warning ? QMessageBox::Warning
                                                                     : QMessageBox::Information,
                                QStringLiteral("Kelvane"), alert.message, QMessageBox::NoButton);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(alert.informativeText);
    const QStringList titles = alert.buttonTitles();
    QList<QAbstractButton*> buttons;
    for (const QString& title : titles)
        buttons << box->addButton(title, QMessageBox::AcceptRole);
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    const int cancel = titles.size() == 1 ? 0 : alert.cancelButton;
    if (cancel >= 0 && cancel < buttons.size())
        box->setEscapeButton(buttons[cancel]);
    auto answer = std::make_shared<AlertAnswer>(std::move(answered));
    connect(box, &QMessageBox::buttonClicked, box, [box, buttons, answer](QAbstractButton* b) {
        box->setProperty("answered", true);
        if (*answer)
            (*answer)(int(buttons.indexOf(b)));
        *answer = nullptr;
    });
    connect(box, &QObject::destroyed, this, [answer] {
        if (*answer)
            (*answer)(kDismissed);
    });
    alerts_.removeAll(QPointer<QWidget>());
    alerts_ << box;
    box->open();
    box->raise();
    box->activateWindow();
}

void QtUI::chooseFolder(const FolderPanel& panel, FolderAnswer chosen) {
    auto* dialog = new QFileDialog(nullptr, panel.message);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setLabelText(QFileDialog::Accept, panel.prompt);
    dialog->setDirectory(QDir::homePath());
    auto answer = std::make_shared<FolderAnswer>(std::move(chosen));
    connect(dialog, &QFileDialog::fileSelected, dialog, [answer](const QString& folder) {
        if (*answer)
            (*answer)(folder.isEmpty() ? std::nullopt : std::optional(folder));
        *answer = nullptr;
    });
    connect(dialog, &QObject::destroyed, this, [answer] {
        if (*answer)
            (*answer)(std::nullopt);
    });
    alerts_.removeAll(QPointer<QWidget>());
    alerts_ << dialog;
    dialog->open();
}

void QtUI::activateApplication() {
    for (const QPointer<QWidget>& window : std::as_const(alerts_)) {
        if (window) {
            window->raise();
            window->activateWindow();
        }
    }
}

void QtUI::closePopover() {
    if (popover_)
        popover_->close();
}

void QtUI::dismissAlerts() {
    const auto open = std::exchange(alerts_, {});
    for (const QPointer<QWidget>& window : open)
        delete window.data();
}

void QtUI::togglePopover() {
    if (!popover_)
        return;
    if (popover_->isVisible()) {
        popover_->close();
        return;
    }
    if (popover_->closedJustNow())
        return;
    popover_->openFor(tray_->iconGeometry());
    delegate_->refreshFinderExtensionState();
    if (commands_)
        commands_->popoverOpened();
}

QJsonObject QtUI::describe() const {
    QJsonObject tray{{"backend", TrayHost::backendName(tray_->backend())}};
    if (statusItem_) {
        tray.insert("spinning", statusItem_->isTimerRunning());
        tray.insert("spinAngle", statusItem_->spin().angle());
        tray.insert("iconPushes", statusItem_->iconPushes());
        tray.insert("toolTip", statusItem_->currentToolTip());
        tray.insert("devicePixelRatio", statusItem_->devicePixelRatio());
    }
    tray.insert("popoverVisible", popover_ && popover_->isVisible());
    const QRect geometry = tray_->iconGeometry();
    if (geometry.isValid())
        tray.insert("iconGeometry", QJsonObject{{"x", geometry.x()},
                                                {"y", geometry.y()},
                                                {"width", geometry.width()},
                                                {"height", geometry.height()}});
    return tray;
}
