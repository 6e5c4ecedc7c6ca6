#include "platform/ProcessExitWatch.h"

#include <QSocketNotifier>
#include <sys/syscall.h>
#include <unistd.h>

ProcessExitWatch::ProcessExitWatch(pid_t pid, QObject* parent) : QObject(parent), pid_(pid) {
#ifdef SYS_pidfd_open
    fd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#endif
    if (fd_ < 0)
        return;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        notifier_->setEnabled(false);
        emit exited(pid_);
    });
}

ProcessExitWatch::~ProcessExitWatch() {
    if (notifier_)
        notifier_->setEnabled(false);
    if (fd_ >= 0)
        ::close(fd_);
}
