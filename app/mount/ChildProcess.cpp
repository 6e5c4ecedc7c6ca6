#include "app/mount/ChildProcess.h"

#include <QCoroFuture>
#include <QPromise>

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

void terminateAndRelease(Owned process) {
    if (!process || process->state() == QProcess::NotRunning)
        return;
    QProcess* raw = process.release();
    QObject::connect(raw, &QProcess::finished, raw, &QObject::deleteLater);
    raw->terminate();
}

} // namespace ChildProcess
