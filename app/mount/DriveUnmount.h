#pragma once

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QStringList>

// Takes one drive down: the engine's own unmount first (it uploads what is staged before it
// lets go), then a look at what is left: a dead mount is detached, a busy one is reported.
// force() stops waiting for the upload: the mount is detached at once and its engine told to
// stop; staged data stays on disk for the next start.
class DriveUnmount : public QObject {
    Q_OBJECT
public:
    struct Outcome {
        bool stayedMounted = false;
        // Why it stayed, in the engine's words.
        QString reason;
    };

    DriveUnmount(QString binary, QString mountPoint, QStringList fusermountHelpers,
                 QObject* parent = nullptr);

    // May be awaited once. Without a binary only the detaching of a dead mount is done.
    QCoro::Task<Outcome> run();
    QCoro::Task<void> force();
    bool isForced() const { return forced_; }
    QString mountPoint() const { return mountPoint_; }

private:
    QCoro::Task<Outcome> settle(QString engineSaid);

    QString binary_;
    QString mountPoint_;
    QStringList helpers_;
    QPointer<QProcess> engine_;
    bool forced_ = false;
};
