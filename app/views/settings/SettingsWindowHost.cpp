#include "app/views/settings/SettingsWindowHost.h"

#include "app/views/settings/SettingsWindow.h"

#include <QGuiApplication>
#include <QScreen>

SettingsWindowHost::SettingsWindowHost(std::function<SettingsComponents()> components,
                                       QObject* parent)
    : QObject(parent), components_(std::move(components)) {}

SettingsWindowHost::~SettingsWindowHost() {
    delete window_;
}

namespace {
// Front and focused; the offscreen platform of tests has no stacking to change.
void bringToFront(QWidget* window) {
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        window->raise();
    window->activateWindow();
}
} // namespace

void SettingsWindowHost::open() {
    if (window_ && window_->isVisible()) {
        bringToFront(window_);
        return;
    }
    delete window_;
    window_ = new SettingsWindow(components_());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window_->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window_->move(frame.topLeft());
    }
    window_->show();
    bringToFront(window_);
    emit opened(window_);
}

void SettingsWindowHost::close() {
    if (window_)
        window_->close();
}
