#include "app/update/Shell.h"

#include "platform/ChildProcess.h"
#include "shared/KelvaneError.h"

#include <QStringDecoder>

namespace Shell {

namespace {

struct Finished {
    QByteArray out;
    QByteArray err;
    bool succeeded = false;
};

// Both pipes are read into the process's buffers by the event loop while the task waits, so
// a talkative tool never blocks on a full pipe.
QCoro::Task<Finished> runToEnd(QString program, QStringList arguments,
                               std::chrono::milliseconds limit) {
    ChildProcess::Owned process(new QProcess);
    process->start(program, arguments, QIODevice::ReadOnly);
    if (!co_await ChildProcess::started(*process))
        throw TransportError(process->errorString());
    bool inTime = co_await ChildProcess::finishedWithin(*process, limit);
    if (!inTime) {
        process->kill();
        co_await ChildProcess::finished(*process);
    }
    Finished f;
    f.out = process->readAllStandardOutput();
    f.err = process->readAllStandardError();
    f.succeeded =
        inTime && process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    co_return f;
}

QString utf8OrEmpty(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    return decoder.hasError() ? QString() : text;
}

} // namespace

QCoro::Task<QString> output(QString program, QStringList arguments,
                            std::chrono::milliseconds limit) {
    const Finished f = co_await runToEnd(std::move(program), std::move(arguments), limit);
    co_return utf8OrEmpty(f.out) + utf8OrEmpty(f.err);
}

QCoro::Task<bool> succeeds(QString program, QStringList arguments,
                           std::chrono::milliseconds limit) {
    const Finished f = co_await runToEnd(std::move(program), std::move(arguments), limit);
    co_return f.succeeded;
}

} // namespace Shell
