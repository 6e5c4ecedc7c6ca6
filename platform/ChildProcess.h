#pragma once

#include <QCoroTask>
#include <QProcess>
#include <chrono>
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

// Like finished(), but gives up after the limit: false when the process is still running then.
QCoro::Task<bool> finishedWithin(QProcess& process, std::chrono::milliseconds limit);

// What a short-lived tool did.
struct Result {
    bool started = false;
    bool timedOut = false;
    // Normal exit with status 0.
    bool succeeded = false;
    int exitCode = -1;
    // Standard output and error together, as the tool printed them.
    QByteArray output;
    // Why it could not start, when it could not.
    QString error;
};

// Runs a tool (absolute path, explicit arguments, no shell) to its end or the limit, whichever
// comes first; a tool past the limit is killed. Never throws.
QCoro::Task<Result> run(QString program, QStringList arguments, std::chrono::milliseconds limit,
                        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

// Sends a running process the terminate request and lets it go: it deletes itself once it has
// exited, so nobody waits for it.
void terminateAndRelease(Owned process);

} // namespace ChildProcess
