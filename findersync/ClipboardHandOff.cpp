#include "findersync/ClipboardHandOff.h"

#include "findersync/FinderLogging.h"
#include "platform/InstanceSocket.h"
#include "shared/ClipboardRequest.h"

#include <QFileInfo>
#include <QProcess>

bool ClipboardHandOff::setString(const QString& text, QString* error) {
    const auto reply = InstanceSocket::ask(options_.instanceSocket, ClipboardRequest::make(text),
                                           options_.instanceLimit);
    if (reply && ClipboardRequest::isAccepted(*reply)) {
        qCDebug(lcFinder) << "the running Kelvane holds the clipboard";
        return true;
    }
    if (reply)
        qCDebug(lcFinder) << "the running Kelvane has no clipboard:" << *reply;
    return handToKeeper(text, error);
}

bool ClipboardHandOff::handToKeeper(const QString& text, QString* error) const {
    if (!QFileInfo(options_.keeper).isExecutable()) {
        *error = QStringLiteral("%1 is missing").arg(options_.keeper);
        return false;
    }
    QProcess keeper;
    keeper.start(options_.keeper, {});
    if (!keeper.waitForStarted(static_cast<int>(options_.keeperLimit.count()))) {
        *error = QStringLiteral("cannot start %1: %2").arg(options_.keeper, keeper.errorString());
        return false;
    }
    keeper.write(text.toUtf8());
    keeper.closeWriteChannel();
    // It answers once it owns the clipboard, leaving a process of its own to serve it.
    if (!keeper.waitForFinished(static_cast<int>(options_.keeperLimit.count()))) {
        keeper.kill();
        keeper.waitForFinished(1000);
        *error = QStringLiteral("%1 did not take the clipboard in time").arg(options_.keeper);
        return false;
    }
    if (keeper.exitStatus() == QProcess::NormalExit && keeper.exitCode() == 0) {
        qCDebug(lcFinder).noquote() << QString::fromUtf8(keeper.readAllStandardOutput()).trimmed();
        return true;
    }
    const QString reason = QString::fromUtf8(keeper.readAllStandardError()).trimmed();
    *error = reason.isEmpty() ? QStringLiteral("%1 failed").arg(options_.keeper) : reason;
    return false;
}
