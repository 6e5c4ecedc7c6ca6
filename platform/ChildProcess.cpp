#include "platform/ChildProcess.h"

#include <QCoroFuture>
#include <QPromise>
#include <QTimer>

namespace ChildProcess {

namespace {

// One outcome, set by whichever signal comes first; the future wakes the waiter through the
// event loop.
struct Outcome {
    QPromise<void> promise;
    bool started = false;
    Outcome() { promise.start(); }
    void settle(bool didStart) {
        if (promise.future().isFinished())
            return;
        started = didStart;
        promise.finish();
    }
};

} // namespace

QCoro::Task<bool> started(QProcess& process) {
    if (process.state() != QProcess::Starting)
        co_return process.state() == QProcess::Running;
    auto outcome = std::make_shared<Outcome>();
    QObject context;
    QObject::connect(&process, &QProcess::started, &context, [outcome] { outcome->settle(true); });
    QObject::connect(&process, &QProcess::errorOccurred, &context,
                     [outcome](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             outcome->settle(false);
                     });
    QFuture<void> settled = outcome->promise.future();
    co_await settled;
    co_return outcome->started;
}

QCoro::Task<void> finished(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        co_return;
    auto outcome = std::make_shared<Outcome>();
    QObject context;
    QObject::connect(&process, &QProcess::finished, &context, [outcome] { outcome->settle(true); });
    QFuture<void> settled = outcome->promise.future();
    co_await settled;
}

QCoro::Task<bool> finishedWithin(QProcess& process, std::chrono::milliseconds limit) {
    if (process.state() == QProcess::NotRunning)
        co_return true;
    auto outcome = std::make_shared<Outcome>();
    QObject context;
    QObject::connect(&process, &QProcess::finished, &context, [outcome] { outcome->settle(true); });
    QTimer::singleShot(limit, &context, [outcome] { outcome->settle(false); });
    QFuture<void> settled = outcome->promise.future();
    co_await settled;
    co_return outcome->started;
}

QCoro::Task<Result> run(QString program, QStringList arguments, std::chrono::milliseconds limit,
                        QProcessEnvironment environment) {
    Result result;
    Owned process(new QProcess);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setProcessEnvironment(environment);
    process->start(program, arguments, QIODevice::ReadOnly);
    result.started = co_await started(*process);
    if (!result.started) {
        result.error = process->errorString();
        co_return result;
    }
    if (!co_await finishedWithin(*process, limit)) {
        result.timedOut = true;
        process->kill();
        co_await finished(*process);
    }
    result.output = process->readAll();
    result.exitCode = process->exitCode();
    result.succeeded = !result.timedOut && process->exitStatus() == QProcess::NormalExit &&
                       process->exitCode() == 0;
    co_return result;
}

void terminateAndRelease(Owned process) {
    if (!process || process->state() == QProcess::NotRunning)
        return;
    QProcess* raw = process.release();
    QObject::connect(raw, &QProcess::finished, raw, &QObject::deleteLater);
    raw->terminate();
}

} // namespace ChildProcess
