#include "tests/support/DevServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <httplib.h>
#include <stdexcept>

namespace {

constexpr int kStartDeadlineMs = 20'000;
constexpr int kStopDeadlineMs = 10'000;
constexpr time_t kAdminTimeoutSeconds = 30;
const QByteArray kListeningPrefix = "listening on http://127.0.0.1:";
const QByteArray kTlsListeningPrefix = "listening on https://127.0.0.1:";

QJsonObject faultJson(const Fault& fault) {
    QJsonObject o{{"path", fault.path},
                  {"status", fault.status},
                  {"body", QString::fromUtf8(fault.body)},
                  {"delay_ms", fault.delayMs},
                  {"cut", fault.cut},
                  {"count", fault.count}};
    if (fault.cutAfterBytes != 0)
        o.insert("cut_after_bytes", fault.cutAfterBytes);
    if (!fault.method.isEmpty())
        o.insert("method", fault.method);
    if (!fault.contentType.isEmpty())
        o.insert("content_type", fault.contentType);
    if (!fault.location.isEmpty())
        o.insert("location", fault.location);
    return o;
}

} // namespace

DevServer::DevServer() : DevServer(Options{}) {}

DevServer::DevServer(Options options)
    : options_(std::move(options)),
      scratch_(QDir::tempPath() + QStringLiteral("/kelvane-devserver-test-XXXXXX")) {
    if (!scratch_.isValid())
        throw std::runtime_error("cannot create a temporary folder for kelvane-devserver");
    dataDir_ = options_.dataDir.isEmpty() ? scratch_.filePath("data") : options_.dataDir;
    logPath_ = scratch_.filePath("devserver.log");
    start();
}

DevServer::~DevServer() {
    stop();
}

QString DevServer::baseURL() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_);
}

QString DevServer::filespaceDir(const QString& mountName) const {
    return dataDir_ + "/filespaces/" + mountName;
}

void DevServer::start() {
    if (isRunning())
        return;
    launch();
    waitUntilListening();
}

void DevServer::stop() {
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(kStopDeadlineMs)) {
            process_->kill();
            process_->waitForFinished(kStopDeadlineMs);
        }
    }
    process_.reset();
}

bool DevServer::isRunning() const {
    return process_ && process_->state() != QProcess::NotRunning;
}

void DevServer::launch() {
    QStringList args{"--data", dataDir_, "--port", QString::number(port_)};
    if (options_.demo)
        args << "--demo";
    args << options_.extraArgs;
    process_ = std::make_unique<QProcess>();
    process_->setProgram(QStringLiteral(KELVANE_DEVSERVER_PATH));
    process_->setArguments(args);
    // A file, not a pipe: the per-request log must never fill a pipe nobody reads.
    process_->setStandardErrorFile(logPath_, QIODevice::Append);
    process_->start();
}

void DevServer::waitUntilListening() {
    const QDeadlineTimer deadline(kStartDeadlineMs);
    while (!deadline.hasExpired()) {
        while (process_->canReadLine()) {
            const QByteArray line = process_->readLine().trimmed();
            if (line.startsWith(kTlsListeningPrefix))
                tlsPort_ = static_cast<quint16>(line.mid(kTlsListeningPrefix.size()).toUInt());
            if (!line.startsWith(kListeningPrefix))
                continue;
            port_ = static_cast<quint16>(line.mid(kListeningPrefix.size()).toUInt());
            return;
        }
        if (process_->state() == QProcess::NotRunning)
            failStart("it exited");
        process_->waitForReadyRead(int(deadline.remainingTime()));
    }
    failStart("it did not start listening in time");
}

void DevServer::failStart(const QString& reason) {
    stop();
    QFile log(logPath_);
    const QByteArray output = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    throw std::runtime_error(QStringLiteral("kelvane-devserver failed: %1\n%2")
                                 .arg(reason, QString::fromUtf8(output))
                                 .toStdString());
}

QJsonObject DevServer::admin(const char* method, const char* path, const QJsonObject& body) {
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(kAdminTimeoutSeconds);
    client.set_read_timeout(kAdminTimeoutSeconds);
    const std::string payload = QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString();
    httplib::Result result = std::string(method) == "GET" ? client.Get(path)
                             : std::string(method) == "DELETE"
                                 ? client.Delete(path)
                                 : client.Post(path, payload, "application/json");
    if (!result)
        throw std::runtime_error(std::string("admin ") + path + ": " +
                                 httplib::to_string(result.error()));
    if (result->status != 200)
        throw std::runtime_error(std::string("admin ") + path + ": HTTP " +
                                 std::to_string(result->status) + " " + result->body);
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
}

void DevServer::injectFault(const Fault& fault) {
    admin("POST", "/admin/faults", faultJson(fault));
}

void DevServer::clearFaults() {
    admin("DELETE", "/admin/faults");
}

void DevServer::emitEvent(const QString& event, const QString& data) {
    admin("POST", "/admin/events", {{"event", event}, {"data", data}});
}

void DevServer::closeStreams() {
    admin("POST", "/admin/close-streams");
}

int DevServer::openStreams() {
    return admin("GET", "/admin/streams").value("open").toInt();
}

void DevServer::setMountOptions(const QMap<QString, QString>& options) {
    QJsonObject body;
    for (auto it = options.begin(); it != options.end(); ++it)
        body.insert(it.key(), it.value());
    admin("POST", "/admin/mount-options", body);
}

void DevServer::writeFile(const QString& filespace, const QString& path,
                          const QByteArray& content) {
    admin("POST", "/admin/files",
          {{"filespace", filespace},
           {"path", path},
           {"content_base64", QString::fromLatin1(content.toBase64())}});
}

QString DevServer::demoToken() {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(kAdminTimeoutSeconds);
    const QJsonObject body{{"email", kDemoEmail}, {"password", kDemoPassword}};
    const auto result = client.Post(
        "/api/auth/login", QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
        "application/json");
    if (!result || result->status != 200)
        throw std::runtime_error("demo sign-in failed");
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body))
        .object()
        .value("token")
        .toString();
}

QJsonArray DevServer::requests() {
    return admin("GET", "/admin/requests").value("requests").toArray();
}

void DevServer::clearRequests() {
    admin("DELETE", "/admin/requests");
}

void DevServer::setPresignExpiry(qint64 seconds) {
    admin("POST", "/admin/object-store", {{"presign_ttl_seconds", seconds}});
}

int DevServer::mostHeldAtOnce() {
    return admin("GET", "/admin/faults").value("most_held_at_once").toInt();
}

QJsonObject DevServer::objectStore() {
    return admin("GET", "/admin/object-store");
}

qint64 DevServer::processId() const {
    return process_ ? process_->processId() : 0;
}
