#include "platform/UrlOpener.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

UrlOpener::UrlOpener(QString program, std::chrono::milliseconds verdictWait)
    : program_(std::move(program)), verdictWait_(verdictWait) {}

bool UrlOpener::openURL(const QString& url, QString* error) {
    if (!QFileInfo(program_).isExecutable()) {
        *error = QStringLiteral("no desktop URL handler: %1 is missing (install xdg-utils)")
                     .arg(program_);
        return false;
    }
    const QByteArray program = QFile::encodeName(program_);
    const QByteArray address = url.toUtf8();
    char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(address.constData()),
                    nullptr};
    pid_t child = 0;
    const int failed = ::posix_spawn(&child, program.constData(), nullptr, nullptr, argv, environ);
    if (failed != 0) {
        *error = QStringLiteral("cannot start %1: %2")
                     .arg(program_, QString::fromLocal8Bit(std::strerror(failed)));
        return false;
    }
    // Not a QProcess: one still running when this object goes must be left running, not killed.
    const QDeadlineTimer deadline(verdictWait_);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (done < 0 && errno != EINTR)
            return true;
        if (deadline.hasExpired())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3) {
        *error = QStringLiteral("no web browser is set up to open %1 (%2 found no method)")
                     .arg(url, program_);
        return false;
    }
    *error =
        QStringLiteral("%1 could not open %2 (%3)")
            .arg(program_, url,
                 WIFEXITED(status) ? QStringLiteral("exit status %1").arg(WEXITSTATUS(status))
                                   : QStringLiteral("killed by signal %1").arg(WTERMSIG(status)));
    return false;
}
