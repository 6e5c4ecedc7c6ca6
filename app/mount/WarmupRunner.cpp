#include "app/mount/WarmupRunner.h"

#include "app/mount/MountCommand.h"
#include "app/mount/MountLogging.h"

#include <QPointer>

WarmupRunner::WarmupRunner(QObject* parent) : QObject(parent) {}

WarmupRunner::~WarmupRunner() {
    cancelAll();
}

QCoro::Task<bool> WarmupRunner::start(QString engine, QStringList paths, int threads) {
    QPointer<WarmupRunner> self(this);
    ChildProcess::Owned owned(new QProcess);
    QProcess& process = *owned;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(engine, MountCommand::warmupArguments(paths, threads));
    processes_.push_back(std::move(owned));
    // The process object lives until it has exited, even if it is cancelled meanwhile.
    QPointer<QProcess> watched(&process);
    const bool started = co_await ChildProcess::started(process);
    if (!started) {
        const QString why = watched ? watched->errorString() : QStringLiteral("cancelled");
        qCCritical(lcMount, "warmup failed to start: %s", qUtf8Printable(why));
        co_return false;
    }
    if (self)
        qCInfo(lcMount, "warming %lld path(s) with %d threads", qlonglong(paths.size()), threads);
    co_return true;
}

void WarmupRunner::cancelAll() {
    for (ChildProcess::Owned& process : processes_)
        ChildProcess::terminateAndRelease(std::move(process));
    processes_.clear();
}
