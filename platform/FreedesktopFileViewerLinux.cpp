#include "platform/FreedesktopFileViewer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

void FreedesktopFileViewer::openFolder(const QString& path) {
    call(QStringLiteral("ShowFolders"), path, path);
}

void FreedesktopFileViewer::selectItem(const QString& path) {
    call(QStringLiteral("ShowItems"), path, QFileInfo(path).absolutePath());
}

void FreedesktopFileViewer::call(const QString& method, const QString& path,
                                 const QString& fallbackFolder) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                       QStringLiteral("org.freedesktop.FileManager1"), method);
    message << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openWithDesktop(fallbackFolder);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [watcher, fallbackFolder] {
                         if (watcher->isError())
                             openWithDesktop(fallbackFolder);
                         watcher->deleteLater();
                     });
}

void FreedesktopFileViewer::openWithDesktop(const QString& folder) {
    QProcess::startDetached(QStringLiteral("/usr/bin/xdg-open"), {folder});
}
