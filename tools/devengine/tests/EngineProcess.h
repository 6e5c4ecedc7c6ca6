#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>

// Runs kelvane-devengine as the client runs juicefs: an explicit argument list, waited for with
// a deadline (a run that overstays is killed and reported as not finished).
struct EngineRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

namespace EngineProcess {

QString path();
EngineRun run(const QStringList& args,
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
              int timeoutMs = 120000);
// The text after the last "<FATAL>:" or "<ERROR>:" of the engine log, as the client reads it.
QString lastFailure(const QString& logPath);

} // namespace EngineProcess
