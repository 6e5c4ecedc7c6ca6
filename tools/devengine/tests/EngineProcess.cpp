#include "tools/devengine/tests/EngineProcess.h"

#include <QFile>
#include <QProcess>

namespace EngineProcess {

QString path() {
    return QStringLiteral(KELVANE_DEVENGINE_PATH);
}

EngineRun run(const QStringList& args, const QProcessEnvironment& env, int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(path(), args);
    EngineRun result;
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(10000);
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QString lastFailure(const QString& logPath) {
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        for (const QString& marker : {QStringLiteral("<FATAL>:"), QStringLiteral("<ERROR>:")})
            if (const auto at = it->indexOf(marker); at >= 0)
                return it->mid(at + marker.size()).trimmed();
    return {};
}

} // namespace EngineProcess
