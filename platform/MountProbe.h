#pragma once

#include <QCoroTask>
#include <QString>
#include <chrono>

// Asks a mounted drive whether its engine still answers, without ever blocking the caller: the
// look runs on a thread of its own, and one that hangs in a dead FUSE daemon is left behind.
namespace MountProbe {

enum class Health {
    alive,
    // The kernel lists no engine mount at the path (unmounted from outside).
    notMounted,
    // ENOTCONN, EIO and the like: the engine is gone.
    disconnected,
    // No answer within the limit: the engine hangs.
    noAnswer,
};

struct Result {
    Health health = Health::alive;
    // The system's text for a failed look, empty otherwise.
    QString detail;
    bool isDead() const { return health == Health::disconnected || health == Health::noAnswer; }
};

// Blocking: whether an engine mount is listed at the path and its root answers a stat.
Result probe(const QString& mountPoint);

// The same, run on its own thread and given up after the limit.
QCoro::Task<Result> probeWithin(QString mountPoint, std::chrono::milliseconds limit);

QString describe(const Result& result);

} // namespace MountProbe
