#include "tools/devserver/FilesRoutes.h"

#include "tools/devserver/ApiRefusal.h"
#include "tools/devserver/EventHub.h"
#include "tools/devserver/FilesTree.h"
#include "tools/devserver/HttpJson.h"
#include "tools/devserver/ObjectStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {

using httplib::Request;
using httplib::Response;

QString requiredString(const QJsonObject& body, const char* key) {
    const QJsonValue value = body.value(QLatin1String(key));
    if (!value.isString())
        throw ApiRefusal::badRequest(QStringLiteral("\"%1\" must be a string").arg(key));
    return value.toString();
}

ServerPath pathField(const QJsonObject& body, const char* key = "path") {
    return ServerPath::parse(requiredString(body, key));
}

int partNumberField(const QJsonObject& body, const char* key) {
    const QJsonValue value = body.value(QLatin1String(key));
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number != double(qint64(number)) || number < 1 ||
        number > ObjectStore::kMaxPartNumber)
        throw ApiRefusal::badRequest(
            QStringLiteral("\"%1\" must be a whole number from 1 to 10000").arg(key));
    return int(number);
}

QString uploadKeyField(const QJsonObject& body) {
    const QString key = requiredString(body, "key");
    if (!ObjectStore::isStagingKey(key))
        throw ApiRefusal::badRequest("Not an upload key: " + key);
    return key;
}

QList<ObjectStore::Part> partsField(const QJsonObject& body) {
    const QJsonValue value = body.value("parts");
    if (!value.isArray())
        throw ApiRefusal::badRequest("\"parts\" must be an array");
    QList<ObjectStore::Part> parts;
    for (const QJsonValue& item : value.toArray()) {
        const QJsonObject part = item.toObject();
        if (!item.isObject() || !part.value("Etag").isString())
            throw ApiRefusal::badRequest(
                "Every part must be an object with \"PartNumber\" and \"Etag\"");
        parts.append({partNumberField(part, "PartNumber"), part.value("Etag").toString()});
    }
    return parts;
}

QString filesKey(const ServerPath& path) {
    return "files" + path.text();
}

} // namespace

QString FilesRoutes::publicBase(const Request& request) {
    const std::string host = request.get_header_value("Host");
    return "http://" + QString::fromStdString(host.empty() ? "127.0.0.1" : host);
}

void FilesRoutes::install(httplib::Server& server) {
    server.Get("/api/files", [this](const Request& rq, Response& rs) { list(rq, rs); });
    server.Delete("/api/files", [this](const Request& rq, Response& rs) { remove(rq, rs); });
    const std::pair<const char*, Handler> endpoints[] = {
        {"presign-download", &FilesRoutes::presignDownload},
        {"presign-upload", &FilesRoutes::presignUpload},
        {"direct-presign-upload", &FilesRoutes::directPresignUpload},
        {"presign-notify", &FilesRoutes::notify},
        {"direct-multipart-init", &FilesRoutes::multipartInit},
        {"direct-multipart-part-url", &FilesRoutes::multipartPartURL},
        {"direct-multipart-complete", &FilesRoutes::multipartComplete},
        {"direct-multipart-abort", &FilesRoutes::multipartAbort},
        {"direct-import", &FilesRoutes::directImport},
        {"move", &FilesRoutes::move},
    };
    for (const auto& [name, handler] : endpoints) {
        server.Post(std::string("/api/files/") + name,
                    [this, handler](const Request& rq, Response& rs) { post(rq, rs, handler); });
    }
    server.Post("/api/files/mkdir", [this](const Request& rq, Response& rs) {
        post(rq, rs, &FilesRoutes::makeFolder, 201);
    });
}

void FilesRoutes::post(const Request& request, Response& response, Handler handler,
                       int successStatus) {
    try {
        const auto body = HttpJson::parseObject(request.body);
        if (!body)
            throw ApiRefusal::badRequest("The body must be a JSON object");
        HttpJson::send(response, successStatus, (this->*handler)(request, *body));
    } catch (const ApiRefusal& refusal) {
        refusal.send(response);
    }
}

void FilesRoutes::list(const Request& request, Response& response) {
    try {
        if (!request.has_param("path"))
            throw ApiRefusal::badRequest("The query needs a path");
        const ServerPath path =
            ServerPath::parse(QString::fromStdString(request.get_param_value("path")));
        const QJsonObject listing{{"path", path.text()}, {"entries", tree_.list(path)}};
        response.status = 200;
        // With the charset named the HTTP library leaves the body uncompressed: its brotli runs
        // at the highest quality and would cost more than the listing itself.
        response.set_content(QJsonDocument(listing).toJson(QJsonDocument::Compact).toStdString(),
                             "application/json; charset=utf-8");
    } catch (const ApiRefusal& refusal) {
        refusal.send(response);
    }
}

void FilesRoutes::remove(const Request& request, Response& response) {
    try {
        if (!request.has_param("path"))
            throw ApiRefusal::badRequest("The query needs a path");
        const ServerPath path =
            ServerPath::parse(QString::fromStdString(request.get_param_value("path")));
        tree_.remove(path);
        hub_.notifyChange(path.text());
        HttpJson::send(response, 200, QJsonObject{{"deleted", path.text()}});
    } catch (const ApiRefusal& refusal) {
        refusal.send(response);
    }
}

QJsonObject FilesRoutes::presignDownload(const Request& request, const QJsonObject& body) {
    const ServerPath path = pathField(body);
    tree_.existingFile(path);
    return {{"url", store_.presign(publicBase(request), "GET", filesKey(path))},
            {"method", "GET"},
            {"path", path.text()}};
}

QJsonObject FilesRoutes::presignUpload(const Request& request, const QJsonObject& body) {
    const ServerPath path = pathField(body);
    tree_.placeForFile(path);
    return {{"url", store_.presign(publicBase(request), "PUT", filesKey(path))},
            {"method", "PUT"},
            {"path", path.text()}};
}

QJsonObject FilesRoutes::directPresignUpload(const Request& request, const QJsonObject& body) {
    tree_.placeForFile(pathField(body));
    const QString key = store_.newStagingKey();
    return {{"uploadId", key.section('/', 1)},
            {"url", store_.presign(publicBase(request), "PUT", key)},
            {"key", key}};
}

QJsonObject FilesRoutes::notify(const Request&, const QJsonObject& body) {
    const ServerPath path = pathField(body);
    static const QRegularExpression digits(QStringLiteral("^\\d+$"));
    const QString size = requiredString(body, "size");
    if (!digits.match(size).hasMatch())
        throw ApiRefusal::badRequest("\"size\" must be a decimal number in a string");
    tree_.existingFile(path);
    hub_.notifyChange(path.text());
    return {{"path", path.text()}, {"size", size}};
}

QJsonObject FilesRoutes::multipartInit(const Request&, const QJsonObject& body) {
    const ServerPath path = pathField(body);
    tree_.placeForFile(path);
    const QString key = store_.newStagingKey();
    const QString s3UploadId = store_.beginMultipart(key, path.text());
    return {{"uploadId", key.section('/', 1)}, {"s3UploadId", s3UploadId}, {"key", key}};
}

QJsonObject FilesRoutes::multipartPartURL(const Request& request, const QJsonObject& body) {
    const QString key = uploadKeyField(body);
    const QString uploadId = requiredString(body, "s3UploadId");
    const int partNumber = partNumberField(body, "partNumber");
    store_.upload(uploadId, key);
    const PresignedUrl::Parameters parameters{{"partNumber", QString::number(partNumber)},
                                              {"uploadId", uploadId}};
    return {{"url", store_.presign(publicBase(request), "PUT", key, parameters)}};
}

QJsonObject FilesRoutes::multipartComplete(const Request&, const QJsonObject& body) {
    const QString key = uploadKeyField(body);
    const QString etag = store_.complete(requiredString(body, "s3UploadId"), key, partsField(body));
    return {{"key", key}, {"etag", etag}};
}

QJsonObject FilesRoutes::multipartAbort(const Request&, const QJsonObject& body) {
    const QString key = uploadKeyField(body);
    store_.abort(requiredString(body, "s3UploadId"), key);
    return {{"key", key}, {"status", "aborted"}};
}

QJsonObject FilesRoutes::directImport(const Request&, const QJsonObject& body) {
    const QString key = uploadKeyField(body);
    const ServerPath path = pathField(body);
    const auto staged = store_.stagedFile(key);
    if (!staged)
        throw ApiRefusal::notFound("Not found: no uploaded object " + key);
    tree_.moveIntoPlace(*staged, path);
    store_.forgetStaged(key);
    hub_.notifyChange(path.text());
    return {{"path", path.text()}};
}

QJsonObject FilesRoutes::makeFolder(const Request&, const QJsonObject& body) {
    const ServerPath path = pathField(body);
    tree_.makeFolder(path);
    hub_.notifyChange(path.text());
    return {{"path", path.text()}};
}

QJsonObject FilesRoutes::move(const Request&, const QJsonObject& body) {
    const ServerPath from = pathField(body, "src");
    const ServerPath to = pathField(body, "dst");
    tree_.move(from, to);
    hub_.notifyChange(from.text());
    hub_.notifyChange(to.text());
    return {{"src", from.text()}, {"dst", to.text()}};
}
