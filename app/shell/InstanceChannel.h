#pragma once

#include <QCoroTask>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

// One Kelvane per user: the running instance holds a lock file in the user's runtime folder for
// its whole life and listens on a local socket beside it; later invocations send it one JSON
// request line ({"command": …}) and read one JSON reply line. Each command has its own handler,
// registered by the part of the application it concerns.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<QCoro::Task<QJsonObject>(QJsonObject request)>;
    using Answer = std::function<QJsonObject(const QJsonObject& request)>;

    explicit InstanceChannel(QObject* parent = nullptr);
    ~InstanceChannel() override;

    static QString socketPath();
    static QString lockPath();

    // Claims the instance for this process. False when another instance holds it (the check
    // and the claim are one step, so of two starting at once exactly one wins); a socket left
    // by a crashed instance is taken over.
    bool listen();
    void handle(const QString& command, Handler handler);
    // For commands answered at once.
    void handle(const QString& command, Answer answer);

    // Sends a request to the running instance; nothing when none answers within the limit.
    static std::optional<QJsonObject> ask(const QJsonObject& request, int timeoutMs = 5'000);

private:
    void serve();
    QCoro::Task<void> reply(QLocalSocket* socket, QJsonObject request);
    QLocalServer* server_ = nullptr;
    int lockFd_ = -1;
    QHash<QString, Handler> handlers_;
};
