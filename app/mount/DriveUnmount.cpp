#include "app/mount/DriveUnmount.h"

#include "app/mount/MountCommand.h"
#include "app/mount/MountLogging.h"
#include "platform/ChildProcess.h"
#include "platform/EngineProcesses.h"
#include "platform/Fusermount.h"
#include "platform/MountProbe.h"

#include <QCoroFuture>
#include <QCoroTimer>
#include <QtConcurrent>
#include <csignal>

namespace {

constexpr std::chrono::seconds kProbeLimit{5};
// How long a told-to-stop engine gets before it is killed; its staged blocks are on disk.
constexpr std::chrono::seconds kStopGrace{2};

QList<pid_t> daemonsOf(const QString& mountPoint) {
    return EngineProcesses::servingMount(mountPoint);
}

} // namespace

DriveUnmount::DriveUnmount(QString binary, QString mountPoint, QStringList fusermountHelpers,
                           QObject* parent)
    : QObject(parent), binary_(std::move(binary)), mountPoint_(std::move(mountPoint)),
      helpers_(std::move(fusermountHelpers)) {}

QCoro::Task<DriveUnmount::Outcome> DriveUnmount::run() {
    QPointer<DriveUnmount> self(this);
    QString said;
    if (!binary_.isEmpty()) {
        ChildProcess::Owned process(new QProcess);
        engine_ = process.get();
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(binary_, MountCommand::unmountArguments(mountPoint_), QIODevice::ReadOnly);
        if (co_await ChildProcess::started(*process)) {
            // No time limit: the first quit waits for every staged byte; force() ends the wait.
            co_await ChildProcess::finished(*process);
            said = QString::fromUtf8(process->readAll()).trimmed();
            if (process->exitCode() != 0)
                qCInfo(lcMount, "juicefs umount %s exited code=%d output=%s",
                       qUtf8Printable(mountPoint_), process->exitCode(), qUtf8Printable(said));
        } else {
            qCWarning(lcMount, "juicefs umount failed to start: %s",
                      qUtf8Printable(process->errorString()));
        }
    }
    if (!self)
        co_return Outcome{};
    co_return co_await settle(said);
}

QCoro::Task<DriveUnmount::Outcome> DriveUnmount::settle(QString engineSaid) {
    QPointer<DriveUnmount> self(this);
    const MountProbe::Result left = co_await MountProbe::probeWithin(mountPoint_, kProbeLimit);
    if (!self || left.health == MountProbe::Health::notMounted)
        co_return Outcome{};
    if (left.isDead() || forced_) {
        qCInfo(lcMount, "detaching %s (%s)", qUtf8Printable(mountPoint_),
               qUtf8Printable(MountProbe::describe(left)));
        co_await Fusermount::detachLazily(mountPoint_, helpers_);
        co_return Outcome{};
    }
    const QString reason =
        engineSaid.isEmpty() ? QStringLiteral("the drive is in use") : engineSaid;
    co_return Outcome{true, reason};
}

QCoro::Task<void> DriveUnmount::force() {
    QPointer<DriveUnmount> self(this);
    forced_ = true;
    co_await Fusermount::detachLazily(mountPoint_, helpers_);
    if (!self)
        co_return;
    QFuture<QList<pid_t>> finding = QtConcurrent::run(&daemonsOf, mountPoint_);
    const QList<pid_t> daemons = co_await finding;
    // A second stop request makes the engine let go without finishing its upload.
    EngineProcesses::signalAll(daemons, SIGTERM);
    EngineProcesses::signalAll(daemons, SIGTERM);
    if (engine_)
        engine_->kill();
    co_await QCoro::sleepFor(kStopGrace);
    EngineProcesses::signalAll(daemons, SIGKILL);
}
