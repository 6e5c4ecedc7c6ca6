#include "platform/InstanceSocket.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace InstanceSocket {

namespace {

constexpr qsizetype kMaxReplyBytes = 1024 * 1024;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool waitFor(int fd, short events, const QDeadlineTimer& deadline) {
    pollfd entry{fd, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, static_cast<int>(deadline.remainingTime()));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

bool connectWithin(int fd, const QByteArray& path, const QDeadlineTimer& deadline) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= static_cast<qsizetype>(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path, path.constData(), path.size());
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EAGAIN)
        return false;
    if (!waitFor(fd, POLLOUT, deadline))
        return false;
    int error = 0;
    socklen_t length = sizeof(error);
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool sendAll(int fd, QByteArray bytes, const QDeadlineTimer& deadline) {
    while (!bytes.isEmpty()) {
        if (!waitFor(fd, POLLOUT, deadline))
            return false;
        const ssize_t sent = ::send(fd, bytes.constData(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (sent > 0)
            bytes.remove(0, sent);
    }
    return true;
}

std::optional<QByteArray> readLine(int fd, const QDeadlineTimer& deadline) {
    QByteArray reply;
    char buffer[4096];
    while (!reply.contains('\n')) {
        if (reply.size() > kMaxReplyBytes || !waitFor(fd, POLLIN, deadline))
            return std::nullopt;
        const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
        if (got == 0)
            return std::nullopt;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return std::nullopt;
        }
        reply.append(buffer, got);
    }
    return reply.left(reply.indexOf('\n'));
}

} // namespace

std::optional<QJsonObject> ask(const QString& socketPath, const QJsonObject& request,
                               std::chrono::milliseconds limit) {
    const QDeadlineTimer deadline(limit);
    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.get() < 0 || !connectWithin(socket.get(), QFile::encodeName(socketPath), deadline))
        return std::nullopt;
    if (!sendAll(socket.get(), QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n',
                 deadline))
        return std::nullopt;
    const auto line = readLine(socket.get(), deadline);
    if (!line)
        return std::nullopt;
    const QJsonDocument reply = QJsonDocument::fromJson(*line);
    if (!reply.isObject())
        return std::nullopt;
    return reply.object();
}

} // namespace InstanceSocket
