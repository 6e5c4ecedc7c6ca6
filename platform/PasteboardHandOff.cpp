#include "platform/PasteboardHandOff.h"

#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "shared/KelvaneError.h"

#include <QCoroLocalSocket>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcPasteboard, "com.30814qv.kelvane.pasteboard", QtInfoMsg)

class PasteboardError : public KelvaneError {
public:
    explicit PasteboardError(QString text) : text_(std::move(text)) {}
    QString description() const override { return text_; }

private:
    QString text_;
};

std::chrono::milliseconds remaining(const QDeadlineTimer& deadline) {
    return std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 0));
}

} // namespace

PasteboardHandOff::PasteboardHandOff()
    : PasteboardHandOff(Options{Paths::instanceSocket(), Paths::clipboardKeeper()}) {}

QCoro::Task<> PasteboardHandOff::setString(QString text) {
    const QString instanceRefusal = co_await handToInstance(text);
    if (instanceRefusal.isEmpty()) {
        last_ = text;
        co_return;
    }
    qCDebug(lcPasteboard).noquote()
        << "the running Kelvane did not take the text:" << instanceRefusal;
    if (text.isEmpty()) {
        // Nothing to keep: a keeper serves text, and the clipboard stays as it was.
        last_ = text;
        co_return;
    }
    const QString keeperRefusal = co_await handToKeeper(text);
    if (!keeperRefusal.isEmpty())
        throw PasteboardError(QStringLiteral("The text could not be put on the clipboard (%1; %2)")
                                  .arg(instanceRefusal, keeperRefusal));
    last_ = text;
}

QCoro::Task<QString> PasteboardHandOff::handToInstance(const QString& text) {
    const QDeadlineTimer deadline(options_.instanceLimit);
    QLocalSocket socket;
    socket.connectToServer(options_.instanceSocket);
    // A missing socket fails at once; only a connection under way is waited for.
    if (socket.state() == QLocalSocket::UnconnectedState ||
        !co_await qCoro(socket).waitForConnected(remaining(deadline)))
        co_return QStringLiteral("no running Kelvane answers");
    const QJsonObject request{{"command", kCommand}, {"text", text}};
    socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    QByteArray reply;
    while (!reply.endsWith('\n')) {
        if (socket.bytesAvailable() == 0 &&
            !co_await qCoro(socket).waitForReadyRead(remaining(deadline)))
            co_return QStringLiteral("the running Kelvane did not answer in time");
        reply += socket.readAll();
    }
    const QJsonObject answer = QJsonDocument::fromJson(reply).object();
    if (answer.value("ok").toBool())
        co_return QString();
    const QString error = answer.value("error").toString();
    co_return QStringLiteral("the running Kelvane has no clipboard: %1")
        .arg(error.isEmpty() ? QStringLiteral("no reason given") : error);
}

QCoro::Task<QString> PasteboardHandOff::handToKeeper(const QString& text) {
    if (!QFileInfo(options_.keeper).isExecutable())
        co_return QStringLiteral("%1 is missing").arg(options_.keeper);
    QProcess keeper;
    keeper.start(options_.keeper, {});
    if (!co_await ChildProcess::started(keeper))
        co_return QStringLiteral("cannot start %1: %2").arg(options_.keeper, keeper.errorString());
    keeper.write(text.toUtf8());
    keeper.closeWriteChannel();
    // It answers once it owns the clipboard, leaving a process of its own to serve it.
    if (!co_await ChildProcess::finishedWithin(keeper, options_.keeperLimit)) {
        keeper.kill();
        co_await ChildProcess::finished(keeper);
        co_return QStringLiteral("%1 did not take the clipboard in time").arg(options_.keeper);
    }
    if (keeper.exitStatus() == QProcess::NormalExit && keeper.exitCode() == 0)
        co_return QString();
    const QString reason = QString::fromUtf8(keeper.readAllStandardError()).trimmed();
    co_return reason.isEmpty() ? QStringLiteral("%1 failed").arg(options_.keeper) : reason;
}
