#pragma once

#include "platform/Paths.h"

#include <QProcess>
#include <QStringList>

// The real programs, run in the test's home without a session bus (so tokens land in the
// owner-only file store) and with a runtime folder of their own.
namespace Programs {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

inline QProcessEnvironment environment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", Paths::home());
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("XDG_RUNTIME_DIR", Paths::home() + "/runtime");
    return env;
}

inline Run run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120'000))
        p.kill();
    p.waitForFinished(10'000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

inline Run fileProvider(const QStringList& args) {
    return run(QStringLiteral(KELVANE_FILEPROVIDER_PATH), args);
}

inline Run kelvane(const QStringList& args, const QByteArray& input = {}) {
    return run(QStringLiteral(KELVANE_APP_PATH), args, input);
}

} // namespace Programs
