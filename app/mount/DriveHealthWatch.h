#pragma once

#include "platform/MountProbe.h"

#include <QCoroTask>
#include <QObject>
#include <QTimer>
#include <chrono>

class ProcessExitWatch;

// Notices when the engine behind a mounted drive dies: its daemon's exit (watched through the
// kernel) or a look at the drive's root that fails or gets no answer. Every look runs off the
// main thread with a time limit, and no second look starts while one is still stuck.
class DriveHealthWatch : public QObject {
    Q_OBJECT
public:
    struct Timing {
        std::chrono::milliseconds interval{2000};
        std::chrono::milliseconds probeLimit{5000};
    };

    DriveHealthWatch(QString id, QString mountPoint, Timing timing, QObject* parent = nullptr);

    void start();
    // Looks at once (another part saw the drive fail).
    void checkNow();
    QString id() const { return id_; }

signals:
    // Emitted once; the watch is idle afterwards.
    void died(const QString& id, const QString& reason);

private:
    QCoro::Task<void> watchDaemon();
    QCoro::Task<void> check();
    void declareDead(const QString& reason);

    QString id_;
    QString mountPoint_;
    Timing timing_;
    QTimer timer_;
    ProcessExitWatch* daemon_ = nullptr;
    bool checking_ = false;
    bool dead_ = false;
};
