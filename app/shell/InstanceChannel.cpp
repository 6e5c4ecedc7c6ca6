#include "app/shell/InstanceChannel.h"

#include "platform/Logging.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr qint64 kMaxRequestBytes = 64 * 1024;

QByteArray encodeLine(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

InstanceChannel::InstanceChannel(QObject* parent) : QObject(parent) {}

InstanceChannel::~InstanceChannel() {
    if (server_)
        server_->close();
}

QString InstanceChannel::socketPath() {
    return Paths::runtimeDir() + QStringLiteral("/instance");
}

bool InstanceChannel::listen(Handler handler) {
    const QString path = socketPath();
    QDir().mkpath(Paths::runtimeDir());
    QFile::setPermissions(Paths::runtimeDir(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (ask({{"command", "ping"}}, 1'000))
        return false;
    QLocalServer::removeServer(path); // left behind by an instance that did not quit cleanly
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        qCWarning(lcShell) << "cannot listen on" << path << server_->errorString();
        return false;
    }
    handler_ = std::move(handler);
    connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::serve);
    return true;
}

void InstanceChannel::serve() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (socket->bytesAvailable() > kMaxRequestBytes) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine())
                return;
            const QJsonObject request = QJsonDocument::fromJson(socket->readLine()).object();
            socket->write(encodeLine(handler_(request)));
            socket->disconnectFromServer();
        });
    }
}

std::optional<QJsonObject> InstanceChannel::ask(const QJsonObject& request, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(timeoutMs))
        return std::nullopt;
    socket.write(encodeLine(request));
    if (!socket.waitForBytesWritten(timeoutMs))
        return std::nullopt;
    QByteArray reply;
    while (!reply.endsWith('\n')) {
        if (!socket.waitForReadyRead(timeoutMs))
            return std::nullopt;
        reply += socket.readAll();
    }
    return QJsonDocument::fromJson(reply).object();
}
