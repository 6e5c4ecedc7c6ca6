#pragma once

#include "platform/findersync/FinderMenu.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <optional>

class FinderSyncController;
class Pasteboard;
class Workspace;

// The file-manager extension: menu entries that copy or open web links to items inside the
// drives. It knows the application only through config.json, read afresh at every use.
// Main thread only; every look at the file system has a time limit (PathProbe).
class FinderSync : public QObject {
    Q_OBJECT
public:
    struct Services {
        FinderSyncController& controller;
        Pasteboard& pasteboard;
        Workspace& workspace;
        QString configFile;
        // The user's real home folder (computed once by the caller).
        QString realHome;
    };

    explicit FinderSync(Services services, QObject* parent = nullptr);

    QString mountBase() const;
    std::optional<QString> siteURL() const;
    QStringList candidateDirectories() const;
    // Registers the candidates with the controller when their set or a device number changed.
    void refreshWatchedDirectories();
    // Calls refreshWatchedDirectories() now and every interval after.
    void startRefreshing(std::chrono::milliseconds interval = std::chrono::seconds(10));
    QMap<QString, qint64> watched() const { return watched_; }

    // The item's path inside its filespace (no leading "/"), or nothing for an item outside
    // every filespace or a filespace folder itself.
    std::optional<QByteArray> volumeRelativePath(const QByteArray& path) const;
    bool isDirectory(const QByteArray& path) const;
    QStringList selectedShareLinks() const;

    std::optional<FinderMenu> menu(FinderMenu::Kind kind) const;
    // The menu actions. False when nothing was done (nothing resolvable, or the desktop
    // refused).
    bool copyLink();
    bool openOnWeb();

signals:
    // The text of the "watching …" line, each time the registered set changes.
    void watching(const QString& line);

private:
    std::optional<QString> usableSite() const;
    bool staysInsideFilespace(const QByteArray& path, const QByteArray& relative) const;

    Services services_;
    QMap<QString, qint64> watched_;
    QTimer timer_;
};
