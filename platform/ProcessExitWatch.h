#pragma once

#include <QObject>
#include <sys/types.h>

class QSocketNotifier;

// Tells, through the event loop, when a process that is not our child ends (a Linux process
// file descriptor becomes readable). Where the kernel offers none, isWatching() is false.
class ProcessExitWatch : public QObject {
    Q_OBJECT
public:
    explicit ProcessExitWatch(pid_t pid, QObject* parent = nullptr);
    ~ProcessExitWatch() override;

    pid_t pid() const { return pid_; }
    bool isWatching() const { return fd_ >= 0; }

signals:
    // Emitted once.
    void exited(pid_t pid);

private:
    pid_t pid_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};
