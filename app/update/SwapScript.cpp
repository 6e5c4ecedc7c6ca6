#include "app/update/SwapScript.h"

#include <QFileInfo>

namespace {

QString quoted(const QString& value) {
    return '"' + value + '"';
}

} // namespace

QString SwapScript::stagingBundle(const QString& currentBundle) {
    return QFileInfo(currentBundle).absolutePath() + "/.Kelvane-update";
}

bool SwapScript::isSafe(const QString& value) {
    for (const QChar c : value) {
        if (c == '"' || c == '$' || c == '`' || c == '\\' || c.unicode() < 0x20 ||
            c.unicode() == 0x7f)
            return false;
    }
    return true;
}

std::optional<QString> SwapScript::unsafeValue() const {
    for (const QString& value : QStringList{currentBundle, stagingBundle(currentBundle), newBundle,
                                            unpackedFolder, package} +
                                    relaunchArguments) {
        if (!isSafe(value))
            return value;
    }
    return std::nullopt;
}

QString SwapScript::text() const {
    const QString pid = QString::number(processId);
    const QString staging = quoted(stagingBundle(currentBundle));
    const QString current = quoted(currentBundle);
    const QString unpacked = quoted(unpackedFolder);
    QString relaunch = quoted(currentBundle + "/bin/kelvane");
    for (const QString& argument : relaunchArguments)
        relaunch += ' ' + quoted(argument);
    const QStringList lines{
        QStringLiteral("#!/bin/bash"),
        QStringLiteral("# Written by Kelvane's updater. Waits for the app to quit, swaps the"),
        QStringLiteral("# bundle, and starts the new one."),
        QStringLiteral("for _ in $(seq 1 150); do"),
        " /bin/ps -p " + pid + " >/dev/null 2>&1 || break",
        QStringLiteral(" /bin/sleep 0.2"),
        QStringLiteral("done"),
        "/bin/rm -rf " + staging,
        "/bin/cp -a " + quoted(newBundle) + ' ' + staging + " || exit 1",
        // The unpacked copy is read-only; the installed bundle must be writable by its owner
        // for the next update.
        "/bin/chmod -R u+w " + staging + " 2>/dev/null",
        "/bin/rm -rf " + current,
        "/bin/mv " + staging + ' ' + current + " || exit 1",
        "/bin/chmod -R u+w " + unpacked + " 2>/dev/null; /bin/rm -rf " + unpacked + " 2>/dev/null",
        "/bin/rm -f " + quoted(package),
        "/bin/rmdir " + unpacked + " 2>/dev/null",
        "/usr/bin/setsid -f " + relaunch + " </dev/null",
        QStringLiteral("/bin/rm -f \"$0\""),
    };
    return lines.join('\n') + '\n';
}
