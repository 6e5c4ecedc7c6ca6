#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The script that replaces the bundle once the application has quit: it waits up to 30 s for
// the old process, copies the new bundle beside the current one, swaps them, removes the
// unpacked package and the download, starts the new kelvane in its own session and deletes
// itself. Every path goes in between double quotes, so blanks are fine; a value holding ",
// $, `, \ or a control character would be read by bash, so it is refused instead.
struct SwapScript {
    qint64 processId = 0;
    QString currentBundle; // .../Kelvane
    QString newBundle;     // the unpacked package's Kelvane folder
    QString unpackedFolder;
    QString package;
    QStringList relaunchArguments; // what the new kelvane is started with

    static QString stagingBundle(const QString& currentBundle);
    // The first value that cannot go into the script, or nothing.
    std::optional<QString> unsafeValue() const;
    static bool isSafe(const QString& value);
    // The script's text (check unsafeValue() first).
    QString text() const;
};
