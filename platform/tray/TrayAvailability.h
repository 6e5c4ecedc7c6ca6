#pragma once

#include <QObject>
#include <functional>

class QDBusServiceWatcher;

// Whether the desktop has a tray to show an icon in, found without asking Qt: Qt decides once
// per process between a StatusNotifierItem and an XEmbed icon and never looks again, so asking
// it before the panel is up would leave the icon invisible for good.
class TrayAvailability : public QObject {
    Q_OBJECT
public:
    static inline const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

    explicit TrayAvailability(QObject* parent = nullptr);

    // Asks the StatusNotifierWatcher whether a host (a panel that shows items) has registered;
    // answers on the event loop, false when no watcher answers within a second.
    void checkStatusNotifierHost(std::function<void(bool registered)> answer);
    // Whether an X11 tray manager owns the screen's _NET_SYSTEM_TRAY selection (never on a
    // desktop without X11).
    static bool hasXEmbedTray();

signals:
    // The watcher came or went on the session bus.
    void watcherChanged();

private:
    QDBusServiceWatcher* watcher_ = nullptr;
};
