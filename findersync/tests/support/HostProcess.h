#pragma once

#include "tests/support/WaitUntil.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <chrono>

// Runs kelvane-findersync to its end while the event loop keeps serving (a test's own
// instance channel answers it meanwhile).
struct HostResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline QString hostProgram() {
    return QStringLiteral(KELVANE_FINDERSYNC_PATH);
}

inline HostResult
runHost(const QStringList& arguments,
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(),
        std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(hostProgram(), arguments);
    const bool ended = waitUntil([&] { return process.state() == QProcess::NotRunning; }, limit);
    if (!ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    return {ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}
