#pragma once

#include <QCoroTask>
#include <QProcess>
#include <memory>

// Waiting for child processes from coroutines without blocking the event loop. The waits
// resume from the event loop, never inside one of the process's own signals, so the
// awaiting code may drop the process at once.
namespace ChildProcess {

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};
using Owned = std::unique_ptr<QProcess, DeleteLater>;

// Whether the started process is running (false: it could not be started; its
// errorString() says why). Call right after QProcess::start().
QCoro::Task<bool> started(QProcess& process);

// Returns once a started process has exited; at once when it is not running.
QCoro::Task<void> finished(QProcess& process);

// Sends a running process the terminate request and lets it go: it deletes itself once it has
// exited, so nobody waits for it.
void terminateAndRelease(Owned process);

} // namespace ChildProcess
