#include "tools/devserver/tests/FilesApiCalls.h"

#include <QJsonDocument>
#include <QUrl>

namespace {

constexpr time_t kTimeoutSeconds = 60;

httplib::Client client(quint16 port) {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(kTimeoutSeconds);
    c.set_write_timeout(kTimeoutSeconds);
    return c;
}

} // namespace

QJsonObject FilesApiCalls::Answer::object() const {
    return QJsonDocument::fromJson(body).object();
}

QString FilesApiCalls::Answer::header(const char* name) const {
    const auto it = headers.find(name);
    return it == headers.end() ? QString() : QString::fromStdString(it->second);
}

FilesApiCalls::FilesApiCalls(quint16 port, QString token) : port_(port), token_(std::move(token)) {}

httplib::Headers FilesApiCalls::auth() const {
    return {{"Authorization", "Bearer " + token_.toStdString()}};
}

FilesApiCalls::Answer FilesApiCalls::of(const httplib::Result& result) {
    if (!result)
        return {};
    return {result->status, QByteArray::fromStdString(result->body), result->headers};
}

QString FilesApiCalls::pathAndQuery(const QString& url) {
    const QUrl parsed(url);
    return parsed.path(QUrl::FullyEncoded) +
           (parsed.hasQuery() ? '?' + parsed.query(QUrl::FullyEncoded) : QString());
}

FilesApiCalls::Answer FilesApiCalls::post(const QString& endpoint, const QJsonObject& body) {
    auto c = client(port_);
    return of(c.Post(("/api/files/" + endpoint).toStdString(), auth(),
                     QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                     "application/json"));
}

FilesApiCalls::Answer FilesApiCalls::list(const QString& path) {
    auto c = client(port_);
    const QString target = "/api/files?path=" + QString::fromLatin1(QUrl::toPercentEncoding(path));
    return of(c.Get(target.toStdString(), auth()));
}

FilesApiCalls::Answer FilesApiCalls::remove(const QString& path) {
    auto c = client(port_);
    const QString target = "/api/files?path=" + QString::fromLatin1(QUrl::toPercentEncoding(path));
    return of(c.Delete(target.toStdString(), auth()));
}

FilesApiCalls::Answer FilesApiCalls::get(const QString& url, const httplib::Headers& headers) {
    auto c = client(port_);
    return of(c.Get(pathAndQuery(url).toStdString(), headers));
}

FilesApiCalls::Answer FilesApiCalls::put(const QString& url, const QByteArray& body) {
    auto c = client(port_);
    return of(c.Put(pathAndQuery(url).toStdString(), body.constData(), size_t(body.size()),
                    "application/octet-stream"));
}

FilesApiCalls::Answer FilesApiCalls::uploadFile(const QString& path, const QByteArray& content) {
    const Answer presigned = post("direct-presign-upload", {{"path", path}});
    if (presigned.status != 200)
        return presigned;
    const Answer stored = put(presigned.object().value("url").toString(), content);
    if (stored.status != 200)
        return stored;
    return post("direct-import",
                {{"key", presigned.object().value("key").toString()}, {"path", path}});
}
