#include "platform/MountProbe.h"

#include "platform/MountTable.h"

#include <QCoroFuture>
#include <QFile>
#include <QPromise>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace MountProbe {

namespace {

struct Pending {
    std::mutex lock;
    QPromise<void> promise;
    Result result;
    bool settled = false;
    Pending() { promise.start(); }
    void settle(const Result& value) {
        std::lock_guard guard(lock);
        if (settled)
            return;
        settled = true;
        result = value;
        promise.finish();
    }
};

} // namespace

Result probe(const QString& mountPoint) {
    if (!MountTable::isJuicefsMounted(mountPoint))
        return {Health::notMounted, {}};
    struct stat info {};
    if (::stat(QFile::encodeName(mountPoint).constData(), &info) == 0)
        return {Health::alive, {}};
    const int error = errno;
    return {Health::disconnected, QString::fromLocal8Bit(std::strerror(error))};
}

QCoro::Task<Result> probeWithin(QString mountPoint, std::chrono::milliseconds limit) {
    auto pending = std::make_shared<Pending>();
    // A thread of its own: a stat stuck in a hung daemon must not hold a pool's worker.
    std::thread([pending, mountPoint] { pending->settle(probe(mountPoint)); }).detach();
    QObject context;
    QTimer::singleShot(limit, &context, [pending] {
        pending->settle({Health::noAnswer, QStringLiteral("no answer")});
    });
    QFuture<void> done = pending->promise.future();
    co_await done;
    std::lock_guard guard(pending->lock);
    co_return pending->result;
}

QString describe(const Result& result) {
    switch (result.health) {
    case Health::alive:
        return QStringLiteral("answering");
    case Health::notMounted:
        return QStringLiteral("not mounted");
    case Health::disconnected:
        return result.detail;
    case Health::noAnswer:
        break;
    }
    return QStringLiteral("no answer within the time limit");
}

} // namespace MountProbe
