#include "app/mount/DriveHealthWatch.h"

#include "app/mount/MountLogging.h"
#include "platform/EngineProcesses.h"
#include "platform/ProcessExitWatch.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent>

DriveHealthWatch::DriveHealthWatch(QString id, QString mountPoint, Timing timing, QObject* parent)
    : QObject(parent), id_(std::move(id)), mountPoint_(std::move(mountPoint)), timing_(timing) {
    timer_.setInterval(timing_.interval);
    connect(&timer_, &QTimer::timeout, this, &DriveHealthWatch::checkNow);
}

void DriveHealthWatch::start() {
    timer_.start();
    watchDaemon();
}

QCoro::Task<void> DriveHealthWatch::watchDaemon() {
    QPointer<DriveHealthWatch> self(this);
    QFuture<QList<pid_t>> finding =
        QtConcurrent::run(&EngineProcesses::servingMount, mountPoint_, QStringLiteral("/proc"));
    const QList<pid_t> daemons = co_await finding;
    if (!self || dead_ || daemons.isEmpty())
        co_return;
    daemon_ = new ProcessExitWatch(daemons.first(), this);
    connect(daemon_, &ProcessExitWatch::exited, this, [this](pid_t pid) {
        qCInfo(lcMount, "engine daemon %d of %s exited", int(pid), qUtf8Printable(id_));
        checkNow();
    });
}

void DriveHealthWatch::checkNow() {
    if (!dead_ && !checking_)
        check();
}

QCoro::Task<void> DriveHealthWatch::check() {
    QPointer<DriveHealthWatch> self(this);
    checking_ = true;
    const MountProbe::Result result =
        co_await MountProbe::probeWithin(mountPoint_, timing_.probeLimit);
    if (!self)
        co_return;
    checking_ = false;
    if (result.health == MountProbe::Health::alive || dead_)
        co_return;
    declareDead(result.health == MountProbe::Health::notMounted
                    ? QStringLiteral("the drive is no longer mounted")
                    : MountProbe::describe(result));
}

void DriveHealthWatch::declareDead(const QString& reason) {
    dead_ = true;
    timer_.stop();
    emit died(id_, reason);
}
