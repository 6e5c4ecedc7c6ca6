#include "app/mount/ReadinessPoll.h"

#include "app/mount/DriveWorkers.h"
#include "app/mount/JuicefsLog.h"
#include "app/mount/MountLogging.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"

#include <QCoroFuture>
#include <QFile>
#include <QPointer>

namespace {

const QString kDefaultReason = QStringLiteral("mount didn't attach within 5 min");

void touch(const QString& path) {
    if (QFile::exists(path))
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qCWarning(lcMount, "couldn't create %s: %s", qUtf8Printable(path),
                  qUtf8Printable(file.errorString()));
}

} // namespace

ReadinessPoll::ReadinessPoll(QString id, QString mountPoint, Timing timing, DriveWorkers& workers,
                             QObject* parent)
    : QObject(parent), id_(std::move(id)), mountPoint_(std::move(mountPoint)), timing_(timing),
      workers_(workers) {
    timer_.setInterval(timing_.tick);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &ReadinessPoll::tick);
}

void ReadinessPoll::start() {
    clock_.start();
    timer_.start();
    qCInfo(lcMount, "mount poll armed for %s at %s", qUtf8Printable(id_),
           qUtf8Printable(mountPoint_));
}

void ReadinessPoll::checkNow() {
    if (!finished_ && !checking_)
        check();
}

void ReadinessPoll::fail(const QString& reason) {
    if (finished_)
        return;
    finished_ = true;
    timer_.stop();
    qCInfo(lcMount, "mount failed at once (%s): %s", qUtf8Printable(id_), qUtf8Printable(reason));
    emit gaveUp(id_, reason);
}

bool ReadinessPoll::probe(const QString& mountPoint) {
    if (!MountTable::isJuicefsMounted(mountPoint))
        return false;
    touch(mountPoint + QStringLiteral("/.metadata_never_index"));
    touch(mountPoint + QStringLiteral("/.trackerignore"));
    return true;
}

bool ReadinessPoll::pastLimit() const {
    return clock_.elapsed() > timing_.limit.count();
}

void ReadinessPoll::tick() {
    if (finished_)
        return;
    if (!checking_) {
        check();
    } else if (pastLimit()) {
        giveUp();
    }
}

QCoro::Task<void> ReadinessPoll::check() {
    QPointer<ReadinessPoll> self(this);
    checking_ = true;
    QFuture<bool> probing = workers_.run(&ReadinessPoll::probe, mountPoint_);
    const bool mounted = co_await probing;
    if (!self || finished_)
        co_return;
    checking_ = false;
    if (mounted) {
        finished_ = true;
        timer_.stop();
        qCInfo(lcMount, "mount detected ✓ %s", qUtf8Printable(id_));
        emit attached(id_, mountPoint_);
    } else if (pastLimit()) {
        co_await giveUp();
    }
}

QCoro::Task<void> ReadinessPoll::giveUp() {
    QPointer<ReadinessPoll> self(this);
    finished_ = true;
    timer_.stop();
    QFuture<std::optional<QString>> reading =
        QtConcurrent::run(&JuicefsLog::lastFatalFromFile, Paths::juicefsLogFile());
    const std::optional<QString> logged = co_await reading;
    if (!self)
        co_return;
    // A marked line with nothing after its colon says nothing the user could act on.
    const QString reason = logged && !logged->isEmpty() ? *logged : kDefaultReason;
    qCInfo(lcMount, "mount poll giving up (%s): %s", qUtf8Printable(id_), qUtf8Printable(reason));
    emit gaveUp(id_, reason);
}
