#pragma once

#include "tools/devengine/tests/EngineProcess.h"

#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>

// A volume folder, a mount point and a cache folder under one temporary root, mounted through
// the engine. Its destructor always leaves nothing behind: it unmounts (forcing it if the
// engine fails to) and reaps the daemon, which this process adopts as a subreaper.
class MountedVolume {
public:
    explicit MountedVolume(const QString& root);
    ~MountedVolume();
    MountedVolume(const MountedVolume&) = delete;
    MountedVolume& operator=(const MountedVolume&) = delete;

    // Why FUSE mounts cannot run here, or nothing when they can.
    static std::optional<QString> unavailableReason();

    EngineRun mount(const QStringList& options = {});
    EngineRun unmount();
    bool isMounted() const;
    bool waitUntilUnmounted();
    std::map<std::string, double> stats() const;
    std::optional<pid_t> daemonPid() const { return daemon_; }
    // Sends the daemon a signal; false when there is none.
    bool signal(int sig) const;
    // The daemon killed and reaped; its dead mount stays, answering ENOTCONN.
    bool die();
    // What a crash leaves once the caller cleans up: die(), then the dead mount detached.
    bool crash();
    // Where the engine stages this volume's blocks in its cache folder.
    QString stagingFolder() const;

    QString metaUrl() const { return QStringLiteral("file://") + backing_; }
    QString backing(const QString& relative = {}) const { return join(backing_, relative); }
    QString mounted(const QString& relative = {}) const { return join(mountPoint_, relative); }
    QString cacheDir() const { return cache_; }

private:
    static QString join(const QString& folder, const QString& relative);
    void reapDaemon();

    QString backing_;
    QString mountPoint_;
    QString cache_;
    std::optional<pid_t> daemon_;
};

// Checks `condition` every 20 ms until it holds or `timeout` passes; returns its last answer.
bool pollUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Parses "name value" lines, as the client reads .stats.
std::map<std::string, double> parseStats(const QByteArray& text);

QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& data);
