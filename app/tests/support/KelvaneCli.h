#pragma once

#include "platform/Paths.h"

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the real `kelvane` program in the test's home and collects what it printed.
struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Which session bus the program sees: none (the token goes to the owner-only file) or this
// process's own, e.g. a PrivateKeyring's (the token goes to its keyring).
enum class SessionBus { none, inherited };

inline QProcessEnvironment kelvaneEnvironment(SessionBus bus) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", Paths::home());
    if (bus == SessionBus::none) {
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        env.insert("XDG_RUNTIME_DIR", Paths::home() + "/no-runtime");
    }
    return env;
}

inline CliRun kelvane(const QStringList& args, const QByteArray& input = {},
                      SessionBus bus = SessionBus::none) {
    QProcess p;
    p.setProcessEnvironment(kelvaneEnvironment(bus));
    p.start(KELVANE_APP_PATH, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60'000))
        p.kill();
    p.waitForFinished(5'000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
