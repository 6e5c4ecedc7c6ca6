#pragma once

#include "app/api/Filespace.h"
#include "app/mount/DirectMountState.h"
#include "app/settings/AppSettings.h"

#include <QCoroTask>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

// The report a user saves for support: versions, system, settings, every filespace's drive,
// disk and mount tables, the FUSE and engine installation and the tail of the engine's log,
// with passwords, keys and the stored token removed. The system tools run as child processes
// with a time limit each, awaited on the event loop, so a tool stuck on a dead drive costs its
// section, never a frozen application.
namespace Diagnostics {

// What the report is made from, gathered by the caller (the running instance, or the command
// line without one).
struct Sources {
    AppSettings settings;
    QList<Filespace> filespaces;
    // Absent when nobody knows them (no running instance): every state reads "unknown".
    std::optional<MountStateMap> mountStates;
    std::optional<QString> storedToken;
    // The login item's status as the platform numbers it (0 not registered, 1 enabled).
    int loginItemStatus = 0;
    // enabled, disabled or notInstalled.
    QString fileManagerExtension = QStringLiteral("notInstalled");
    bool fuseInstalled = false;
    std::optional<QString> juicefs;
    QString version;
    QString build;
};

// Where the tools and logs are; tests point them elsewhere.
struct Options {
    std::chrono::milliseconds toolLimit{10'000};
    QString df = QStringLiteral("/usr/bin/df");
    QString mount = QStringLiteral("/usr/bin/mount");
    QString tail = QStringLiteral("/usr/bin/tail");
    // Searched in order; the first that exists is tailed.
    QStringList logCandidates;
    QString desktop;
    // Defaults: the user's and the system's engine log, the user's Desktop.
    static Options standard();
};

// The scrubbed report text.
QCoro::Task<QString> report(Sources sources, Options options = Options::standard());
// Writes the report to the Desktop (created when missing) in one step and returns its path;
// nothing when it could not be written.
QCoro::Task<std::optional<QString>> exportReport(Sources sources,
                                                 Options options = Options::standard());

// Removes credentials: the password of a URL's user part, the value after a key that names a
// secret, and the stored token itself when it has 7 characters or more.
QString scrub(const QString& text, const std::optional<QString>& storedToken);
// "Kelvane-diagnostics-20261207T070612.txt" for that local time.
QString fileName(const QDateTime& localTime);

} // namespace Diagnostics
