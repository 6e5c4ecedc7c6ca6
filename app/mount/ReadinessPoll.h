#pragma once

#include <QCoroTask>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>

class DriveWorkers;

// Watches one starting mount until the kernel lists it or the limit passes. Each tick checks
// on a drive worker; the main thread only keeps time, so a hung check cannot stop the give-up.
class ReadinessPoll : public QObject {
    Q_OBJECT
public:
    struct Timing {
        std::chrono::milliseconds tick;
        std::chrono::milliseconds limit;
    };

    ReadinessPoll(QString id, QString mountPoint, Timing timing, DriveWorkers& workers,
                  QObject* parent = nullptr);

    void start();
    // Checks at once instead of at the next tick (for when the engine says it is up).
    void checkNow();
    // Ends the poll at once with the reason (the engine said it cannot start).
    void fail(const QString& reason);
    QString id() const { return id_; }
    QString mountPoint() const { return mountPoint_; }

    // Blocking: whether an engine mount is at the path; on the first sighting it leaves the
    // files that keep desktop indexers out of the drive.
    static bool probe(const QString& mountPoint);

signals:
    // Emitted once, then the poll is idle.
    void attached(const QString& id, const QString& mountPoint);
    void gaveUp(const QString& id, const QString& reason);

private:
    void tick();
    bool pastLimit() const;
    QCoro::Task<void> check();
    QCoro::Task<void> giveUp();

    QString id_;
    QString mountPoint_;
    Timing timing_;
    DriveWorkers& workers_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool checking_ = false;
    bool finished_ = false;
};
