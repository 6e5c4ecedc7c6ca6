#pragma once

#include <QJsonObject>
#include <QObject>
#include <functional>
#include <optional>

class QLocalServer;

// One Kelvane per user: the running instance listens on a local socket in the user's runtime
// folder; later invocations send it one JSON request line and read one JSON reply line.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<QJsonObject(const QJsonObject& request)>;

    explicit InstanceChannel(QObject* parent = nullptr);
    ~InstanceChannel() override;

    static QString socketPath();

    // Claims the socket for this process. False when another live instance holds it; a
    // socket left by a crashed instance is taken over.
    bool listen(Handler handler);

    // Sends a request to the running instance; nothing when none answers within the limit.
    static std::optional<QJsonObject> ask(const QJsonObject& request, int timeoutMs = 5'000);

private:
    void serve();
    QLocalServer* server_ = nullptr;
    Handler handler_;
};
