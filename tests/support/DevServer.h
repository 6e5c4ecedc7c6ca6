#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class QProcess;

// A failure the server plays for the next `count` requests to `path` (a trailing "*" makes it
// a prefix; an empty method matches every method). A count of 0 keeps it until clearFaults().
// status 0 with a delay only holds the request back; cut closes the connection unanswered.
struct Fault {
    QString path{};
    QString method{};
    int status = 0;
    QByteArray body{};
    QString contentType{};
    int delayMs = 0;
    bool cut = false;
    int count = 1;
    QString location{}; // a Location header, for redirects
    // Object downloads only: the answer goes through but its connection closes after this
    // many body bytes. (Last, so positional initialisers elsewhere keep their meaning.)
    qint64 cutAfterBytes = 0;
};

// Runs the real kelvane-devserver on 127.0.0.1 for a test and steers it through its admin
// API. Admin calls block until the server has answered; they throw std::runtime_error when it
// refuses or cannot be reached.
class DevServer {
public:
    struct Options {
        bool demo = true;
        QString dataDir{}; // empty: a temporary folder owned by the object
        QStringList extraArgs{};
    };

    static inline const QString kDemoEmail = QStringLiteral("demo@kelvane.test");
    static inline const QString kDemoPassword = QStringLiteral("demo-password");

    // Starts the server and waits for it to listen; throws std::runtime_error carrying the
    // server's error output when it does not come up.
    DevServer();
    explicit DevServer(Options options);
    ~DevServer();
    DevServer(const DevServer&) = delete;
    DevServer& operator=(const DevServer&) = delete;

    QString baseURL() const;
    QString apiURL() const { return baseURL() + "/api"; }
    quint16 port() const { return port_; }
    // The HTTPS port when the server was started with --tls-cert and --tls-key; 0 otherwise.
    quint16 tlsPort() const { return tlsPort_; }
    QString dataDir() const { return dataDir_; }
    QString filespaceDir(const QString& mountName) const;

    void injectFault(const Fault& fault);
    void clearFaults();
    // The most requests that delay faults held at one time since the last clearFaults().
    int mostHeldAtOnce();
    void emitEvent(const QString& event, const QString& data);
    void closeStreams();
    // Event streams open right now; lets a test wait until a client is listening.
    int openStreams();
    void setMountOptions(const QMap<QString, QString>& options);
    void writeFile(const QString& filespace, const QString& path, const QByteArray& content);
    // Signs the demo user in and returns a fresh token.
    QString demoToken();
    // What reached the server since the start or the last clearRequests(): objects with
    // "method", "path", "target" (path and query as sent) and "Range"/"Content-Length" when
    // the request had them. Admin requests are not listed.
    QJsonArray requests();
    void clearRequests();
    // Lifetime of the presigned addresses handed out from now on; negative: already expired.
    void setPresignExpiry(qint64 seconds);
    // {"presign_ttl_seconds", "staged_objects", "multipart_uploads"}.
    QJsonObject objectStore();
    qint64 processId() const;

    // Ends the process (for "server goes away" tests); start() brings it back on the same
    // port and data folder.
    void stop();
    void start();
    bool isRunning() const;

private:
    void launch();
    void waitUntilListening();
    [[noreturn]] void failStart(const QString& reason);
    QJsonObject admin(const char* method, const char* path, const QJsonObject& body = {});

    Options options_;
    QTemporaryDir scratch_;
    QString dataDir_;
    QString logPath_;
    std::unique_ptr<QProcess> process_;
    quint16 port_ = 0;
    quint16 tlsPort_ = 0;
};
