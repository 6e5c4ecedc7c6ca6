#include "app/shell/InstanceChannel.h"

#include "app/shell/ShellLogging.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

QString InstanceChannel::socketPath() {
    return Paths::instanceSocket();
}

QString InstanceChannel::lockPath() {
    return Paths::runtimeDir() + QStringLiteral("/instance.lock");
}

bool InstanceChannel::listen() {
    QDir().mkpath(Paths::runtimeDir());
    QFile::setPermissions(Paths::runtimeDir(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Close-on-exec: an engine started by this instance must not keep the lock after it.
    const int fd =
        ::open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        qCWarning(lcShell) << "cannot open" << lockPath() << ::strerror(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    lockFd_ = fd;
    const QString path = socketPath();
    QLocalServer::removeServer(path); // left behind by an instance that did not quit cleanly
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        qCWarning(lcShell) << "cannot listen on" << path << server_->errorString();
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::serve);
    return true;
}

void InstanceChannel::handle(const QString& command, Handler handler) {
    handlers_.insert(command, std::move(handler));
}

void InstanceChannel::handle(const QString& command, Answer answer) {
    handlers_.insert(command,
                     [answer = std::move(answer)](QJsonObject request) -> QCoro::Task<QJsonObject> {
                         co_return answer(request);
                     });
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
            reply(socket, request);
        });
    }
}

QCoro::Task<void> InstanceChannel::reply(QLocalSocket* socket, QJsonObject request) {
    QPointer<QLocalSocket> peer(socket);
    const auto handler = handlers_.constFind(request.value("command").toString());
    QJsonObject answer{{"error", "unknown command"}};
    if (handler != handlers_.cend()) {
        const Handler run = *handler;
        answer = co_await run(request);
    }
    if (!peer)
        co_return;
    peer->write(encodeLine(answer));
    peer->disconnectFromServer();
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
