#include "tools/devserver/ObjectStoreRoutes.h"

#include "tools/devserver/ApiRefusal.h"
#include "tools/devserver/EventHub.h"
#include "tools/devserver/FaultInjector.h"
#include "tools/devserver/FilesTree.h"
#include "tools/devserver/HttpJson.h"
#include "tools/devserver/IncomingObject.h"
#include "tools/devserver/ObjectStore.h"
#include "tools/devserver/PeerSocket.h"
#include "tools/devserver/RequestGate.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <memory>

namespace {

using httplib::Request;
using httplib::Response;

constexpr qint64 kChunkBytes = 1024 * 1024;

QString xmlEscaped(const QString& text) {
    return text.toHtmlEscaped();
}

// S3's error body: the code names the failure, the message explains it.
void sendS3Error(Response& response, int status, const QString& code, const QString& message) {
    response.status = status;
    const QString body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error><Code>" + code +
                         "</Code><Message>" + xmlEscaped(message) + "</Message></Error>";
    response.set_content(body.toStdString(), "application/xml");
}

// An ApiRefusal's text begins with the S3 code when it has one ("NoSuchUpload: …").
void sendRefusal(Response& response, const ApiRefusal& refusal) {
    static const QRegularExpression coded(QStringLiteral("^([A-Za-z]+): (.*)$"));
    const auto match = coded.match(refusal.text());
    if (match.hasMatch())
        sendS3Error(response, refusal.status(), match.captured(1), match.captured(2));
    else
        sendS3Error(response, refusal.status(), refusal.status() == 404 ? "NoSuchKey" : "Error",
                    refusal.text());
}

QString keyOf(const Request& request) {
    return QString::fromStdString(request.matches[1].str());
}

std::optional<ServerPath> filesPathOf(const QString& key) {
    if (!key.startsWith(QLatin1String("files/")))
        return std::nullopt;
    return ServerPath::parse(key.mid(5));
}

int partNumberOf(const Request& request) {
    bool ok = false;
    const int number = QString::fromStdString(request.get_param_value("partNumber")).toInt(&ok);
    if (!ok)
        throw ApiRefusal::badRequest("InvalidArgument: partNumber must be an integer");
    return number;
}

// Reads the body into the object; false when the client went away mid-body.
bool receive(const httplib::ContentReader& reader, IncomingObject& body) {
    bool written = true;
    const bool complete = reader([&](const char* data, size_t length) {
        written = body.append(data, length);
        return written;
    });
    if (!written)
        throw ApiRefusal::diskError("Cannot store the object");
    return complete;
}

} // namespace

void ObjectStoreRoutes::install(httplib::Server& server) {
    server.Put("/objects/(.+)",
               [this](const Request& rq, Response& rs, const httplib::ContentReader& reader) {
                   put(rq, rs, reader);
               });
    server.Get("/objects/(.+)", [this](const Request& rq, Response& rs) { get(rq, rs); });
    server.Get("/admin/object-store",
               [this](const Request& rq, Response& rs) { settings(rq, rs); });
    server.Post("/admin/object-store",
                [this](const Request& rq, Response& rs) { settings(rq, rs); });
}

bool ObjectStoreRoutes::authorized(const Request& request, Response& response, const QString& key) {
    using Check = PresignedUrl::Check;
    switch (store_.signer().check(request.method, key, request.params,
                                  QDateTime::currentSecsSinceEpoch())) {
    case Check::valid:
        return true;
    case Check::unsigned_:
        sendS3Error(response, 403, "AccessDenied", "The request is not signed");
        return false;
    case Check::expired:
        sendS3Error(response, 403, "AccessDenied", "Request has expired");
        return false;
    case Check::badSignature:
        sendS3Error(response, 403, "SignatureDoesNotMatch",
                    "The request signature does not match the address");
        return false;
    }
    return false;
}

void ObjectStoreRoutes::put(const Request& request, Response& response,
                            const httplib::ContentReader& reader) {
    bool bodyRead = false;
    const auto drain = [&] {
        if (!bodyRead)
            reader([](const char*, size_t) { return true; });
        bodyRead = true;
    };
    if (const auto fault = faults_.takeDeferred(&request)) {
        drain();
        response.status = fault->status;
        response.set_content(fault->body, fault->contentType);
        return;
    }
    const QString key = keyOf(request);
    if (!authorized(request, response, key)) {
        drain();
        return;
    }
    try {
        const auto filesPath = filesPathOf(key);
        const bool isPart = request.has_param("uploadId") || request.has_param("partNumber");
        // Refused before the body is read, so a bad target costs no upload.
        if (filesPath)
            tree_.placeForFile(*filesPath);
        else if (isPart)
            store_.upload(QString::fromStdString(request.get_param_value("uploadId")), key);
        else if (!ObjectStore::isStagingKey(key))
            throw ApiRefusal::badRequest("InvalidArgument: no object can be stored at " + key);
        const int partNumber = isPart ? partNumberOf(request) : 0;

        IncomingObject body(store_.tempDir());
        bodyRead = true;
        if (!receive(reader, body))
            return; // the client hung up; nothing is stored
        QString etag;
        if (filesPath) {
            etag = ObjectStore::quoted(body.md5Hex());
            tree_.moveIntoPlace(body.close(), *filesPath);
            hub_.notifyChange(filesPath->text());
        } else if (isPart) {
            etag = store_.storePart(QString::fromStdString(request.get_param_value("uploadId")),
                                    key, partNumber, body);
        } else {
            etag = store_.storeStaged(key, body);
        }
        response.status = 200;
        response.set_header("ETag", etag.toStdString());
    } catch (const ApiRefusal& refusal) {
        drain();
        sendRefusal(response, refusal);
    }
}

ObjectStoreRoutes::Range ObjectStoreRoutes::rangeOf(const std::string& header, qint64 size) {
    static const QRegularExpression single(QStringLiteral("^bytes=(\\d*)-(\\d*)$"));
    const auto match = single.match(QString::fromStdString(header).trimmed());
    if (!match.hasMatch() || (match.captured(1).isEmpty() && match.captured(2).isEmpty()))
        return {};
    if (match.captured(1).isEmpty()) { // the last N bytes
        const qint64 suffix = match.captured(2).toLongLong();
        if (suffix == 0 || size == 0)
            return {Range::unsatisfiable};
        const qint64 length = std::min(suffix, size);
        return {Range::partial, size - length, length};
    }
    const qint64 start = match.captured(1).toLongLong();
    if (start >= size)
        return {Range::unsatisfiable};
    qint64 last = size - 1;
    if (!match.captured(2).isEmpty()) {
        last = std::min(match.captured(2).toLongLong(), size - 1);
        if (last < start)
            return {}; // not a valid range: the whole object, as HTTP says
    }
    return {Range::partial, start, last - start + 1};
}

void ObjectStoreRoutes::get(const Request& request, Response& response) {
    // The HTTP library would cut its own slice of whatever is answered; the range is ours.
    const_cast<Request&>(request).ranges.clear();
    const QString key = keyOf(request);
    if (!authorized(request, response, key))
        return;
    try {
        QString location;
        if (const auto filesPath = filesPathOf(key))
            location = tree_.existingFile(*filesPath);
        else if (const auto staged = store_.stagedFile(key))
            location = *staged;
        else
            throw ApiRefusal::notFound("NoSuchKey: no object " + key);
        auto file = std::make_shared<QFile>(location);
        if (!file->open(QIODevice::ReadOnly))
            throw ApiRefusal::notFound("NoSuchKey: no object " + key);
        const qint64 size = file->size();
        response.set_header("Accept-Ranges", "bytes");
        response.set_header("Last-Modified",
                            QFileInfo(location)
                                .lastModified()
                                .toUTC()
                                .toString(QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"))
                                .toStdString());
        Range slice = rangeOf(request.get_header_value("Range"), size);
        if (slice.kind == Range::unsatisfiable) {
            response.set_header("Content-Range", "bytes */" + std::to_string(size));
            throw ApiRefusal(416,
                             QStringLiteral("InvalidRange: the object has %1 bytes").arg(size));
        }
        response.status = 200;
        if (slice.kind == Range::whole) {
            slice = {Range::whole, 0, size};
        } else {
            response.status = 206;
            response.set_header("Content-Range", QStringLiteral("bytes %1-%2/%3")
                                                     .arg(slice.start)
                                                     .arg(slice.start + slice.length - 1)
                                                     .arg(size)
                                                     .toStdString());
        }
        const qint64 start = slice.start;
        // A fault may end the connection part-way, as a network that drops does.
        const qint64 cutAfter = RequestGate::cutAfterBytes(request).value_or(slice.length + 1);
        response.set_content_provider(
            size_t(slice.length), "application/octet-stream",
            [file, start, cutAfter, &request, &response](size_t offset, size_t length,
                                                         httplib::DataSink& sink) {
                if (qint64(offset) >= cutAfter) {
                    PeerSocket::of(request).cut();
                    response.set_header(RequestGate::kCutMarker, "1");
                    return false;
                }
                if (!file->seek(start + qint64(offset)))
                    return false;
                const qint64 allowed = std::min<qint64>(qint64(length), cutAfter - qint64(offset));
                const QByteArray chunk = file->read(std::min<qint64>(allowed, kChunkBytes));
                return !chunk.isEmpty() && sink.write(chunk.constData(), size_t(chunk.size()));
            });
    } catch (const ApiRefusal& refusal) {
        sendRefusal(response, refusal);
    }
}

void ObjectStoreRoutes::settings(const Request& request, Response& response) {
    if (request.method == "POST") {
        const auto body = HttpJson::parseObject(request.body);
        const QJsonValue seconds = body ? body->value("presign_ttl_seconds") : QJsonValue();
        if (!seconds.isDouble()) {
            HttpJson::sendError(response, 400, "\"presign_ttl_seconds\" must be a number");
            return;
        }
        store_.setExpirySeconds(seconds.toInteger());
    }
    HttpJson::send(response, 200,
                   QJsonObject{{"ok", true},
                               {"presign_ttl_seconds", store_.expirySeconds()},
                               {"staged_objects", store_.stagedCount()},
                               {"multipart_uploads", store_.uploadCount()}});
}
