#include "fileprovider/KelvaneAPI.h"

#include "fileprovider/ExtensionLogging.h"
#include "fileprovider/KelvaneAPIError.h"
#include "shared/FileProviderConfig.h"
#include "shared/JsonReader.h"

#include <QCoroNetworkReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QStringDecoder>
#include <QTimer>
#include <memory>

namespace {

// Characters a URL path may hold besides letters, digits and "-._~", minus the ones that
// split or end a query value ("&", "=", "+") and the separator "/".
const QByteArray kPathCharactersKeptInQuery = "!$'()*,:;@";

QString utf8OrEmpty(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

template <typename T> T decoded(const QByteArray& body) {
    try {
        return T::fromJson(body);
    } catch (const DecodingError& e) {
        throw KelvaneAPIError::decode(e.description());
    }
}

void checkTextObject(const QByteArray& body) {
    try {
        TextObject::check(body);
    } catch (const DecodingError& e) {
        throw KelvaneAPIError::decode(e.description());
    }
}

// Named, not literal: GCC 12 cannot pass a string literal into a coroutine's parameter.
const QByteArray kGet = QByteArrayLiteral("GET");
const QByteArray kPost = QByteArrayLiteral("POST");
const QByteArray kDelete = QByteArrayLiteral("DELETE");
const QByteArray kNoBody;

QByteArray compact(const QJsonObject& body) {
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

} // namespace

KelvaneAPI::KelvaneAPI(QNetworkAccessManager& network, QString configFile)
    : network_(network), configFile_(std::move(configFile)) {}

QString KelvaneAPI::configFile() const {
    return configFile_.isEmpty() ? FileProviderConfig::configFile() : configFile_;
}

QList<Entry> KelvaneAPI::usableEntries(QList<Entry> entries, const QString& folder) {
    QSet<QString> seen;
    seen.reserve(entries.size());
    QList<Entry> kept;
    kept.reserve(entries.size());
    for (Entry& e : entries) {
        if (!e.hasUsableName()) {
            qCWarning(lcExtension).noquote()
                << "list" << folder << "skipped an entry with an unusable name:" << e.name;
            continue;
        }
        if (seen.contains(e.name)) {
            qCWarning(lcExtension).noquote()
                << "list" << folder << "skipped a repeated name:" << e.name;
            continue;
        }
        seen.insert(e.name);
        kept.append(std::move(e));
    }
    return kept;
}

QString KelvaneAPI::encodeQueryValue(const QString& path) {
    return QString::fromLatin1(QUrl::toPercentEncoding(path, kPathCharactersKeptInQuery));
}

QNetworkRequest KelvaneAPI::makeRequest(const QString& path) const {
    FileProviderConfig::Target target;
    try {
        target = FileProviderConfig::resolve(path, configFile());
    } catch (const NotConfiguredError&) {
        throw KelvaneAPIError::notConfigured();
    }
    QNetworkRequest request(target.url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::PreferNetwork);
    request.setTransferTimeout(int(std::chrono::milliseconds(kRequestTimeout).count()));
    request.setRawHeader("Authorization", "Bearer " + target.token.toUtf8());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    return request;
}

QCoro::Task<QByteArray>
KelvaneAPI::checkedResponse(QNetworkAccessManager& network, QNetworkRequest request,
                            QByteArray verb, QByteArray body,
                            std::optional<std::chrono::milliseconds> resourceTimeout) {
    QNetworkReply* reply = network.sendCustomRequest(request, verb, body);
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> owner(
        reply, [](QNetworkReply* r) { r->deleteLater(); });
    QTimer resourceDeadline;
    if (resourceTimeout) {
        resourceDeadline.setSingleShot(true);
        QObject::connect(&resourceDeadline, &QTimer::timeout, reply, &QNetworkReply::abort);
        resourceDeadline.start(*resourceTimeout);
    }
    co_await qCoro(reply).waitForFinished();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        if (reply->error() == QNetworkReply::OperationCanceledError)
            throw TransportError(QStringLiteral("The request timed out."), reply->error());
        if (reply->error() != QNetworkReply::NoError)
            throw TransportError(reply->errorString(), reply->error());
        co_return reply->readAll();
    }
    const QByteArray answer = reply->readAll();
    if (status.toInt() >= 400)
        throw KelvaneAPIError::http(status.toInt(), utf8OrEmpty(answer));
    // An answer cut short is a network failure, not an answer of another shape.
    if (reply->error() != QNetworkReply::NoError)
        throw TransportError(reply->errorString(), reply->error());
    co_return answer;
}

QCoro::Task<QByteArray> KelvaneAPI::postJSON(const QString& path, const QJsonObject& body) {
    // Not a coroutine itself, so callers may pass literals; a missing configuration throws
    // here, before anything is sent.
    return checkedResponse(network_, makeRequest(path), kPost, compact(body));
}

QCoro::Task<QList<Entry>> KelvaneAPI::list(QString path) {
    const QNetworkRequest request = makeRequest("/files?path=" + encodeQueryValue(path));
    const QByteArray body = co_await checkedResponse(network_, request, kGet, kNoBody);
    co_return usableEntries(decoded<ListResponse>(body).entries, path);
}

QCoro::Task<> KelvaneAPI::remove(QString path) {
    const QNetworkRequest request = makeRequest("/files?path=" + encodeQueryValue(path));
    co_await checkedResponse(network_, request, kDelete, kNoBody);
}

QCoro::Task<PresignResponse> KelvaneAPI::presignDownload(QString path) {
    const QJsonObject request{{"path", path}};
    const QByteArray body = co_await postJSON("/files/presign-download", request);
    co_return decoded<PresignResponse>(body);
}

QCoro::Task<PresignResponse> KelvaneAPI::presignUpload(QString path) {
    const QJsonObject request{{"path", path}};
    const QByteArray body = co_await postJSON("/files/presign-upload", request);
    co_return decoded<PresignResponse>(body);
}

QCoro::Task<DirectPresignResponse> KelvaneAPI::directPresignUpload(QString path) {
    const QJsonObject request{{"path", path}};
    const QByteArray body = co_await postJSON("/files/direct-presign-upload", request);
    co_return decoded<DirectPresignResponse>(body);
}

QCoro::Task<> KelvaneAPI::notify(QString path, qint64 size) {
    try {
        const QJsonObject request{{"path", path}, {"size", QString::number(size)}};
        const QByteArray body = co_await postJSON("/files/presign-notify", request);
        if (!body.trimmed().isEmpty())
            TextObject::check(body);
    } catch (const std::exception& e) {
        qCInfo(lcExtension).noquote() << "notify" << path << "ignored a failure:" << e.what();
    }
}

QCoro::Task<DirectMultipartInitResponse> KelvaneAPI::directMultipartInit(QString path) {
    const QJsonObject request{{"path", path}};
    const QByteArray body = co_await postJSON("/files/direct-multipart-init", request);
    co_return decoded<DirectMultipartInitResponse>(body);
}

QCoro::Task<QString> KelvaneAPI::directMultipartPartURL(QString key, QString s3UploadId,
                                                        int partNumber) {
    const QJsonObject request{{"key", key}, {"s3UploadId", s3UploadId}, {"partNumber", partNumber}};
    const QByteArray body = co_await postJSON("/files/direct-multipart-part-url", request);
    try {
        co_return JsonReader(JsonReader::parseObject(body), QStringLiteral("Resp")).string("url");
    } catch (const DecodingError& e) {
        throw KelvaneAPIError::decode(e.description());
    }
}

QJsonObject KelvaneAPI::completionBody(const QString& key, const QString& s3UploadId,
                                       const QList<PartResult>& parts) {
    QJsonArray list;
    for (const PartResult& part : parts)
        list.append(QJsonObject{{"PartNumber", part.partNumber}, {"Etag", part.etag}});
    return {{"key", key}, {"s3UploadId", s3UploadId}, {"parts", list}};
}

QCoro::Task<> KelvaneAPI::directMultipartComplete(QString key, QString s3UploadId,
                                                  QList<PartResult> parts) {
    const QJsonObject request = completionBody(key, s3UploadId, parts);
    const QByteArray body = co_await postJSON("/files/direct-multipart-complete", request);
    checkTextObject(body);
}

QCoro::Task<> KelvaneAPI::directMultipartAbort(QString key, QString s3UploadId) {
    try {
        const QJsonObject request{{"key", key}, {"s3UploadId", s3UploadId}};
        co_await postJSON("/files/direct-multipart-abort", request);
    } catch (const std::exception& e) {
        qCInfo(lcMultipart).noquote() << "abort of" << key << "ignored a failure:" << e.what();
    }
}

QCoro::Task<> KelvaneAPI::directImport(QString key, QString path) {
    QNetworkRequest request = makeRequest("/files/direct-import");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(int(std::chrono::milliseconds(kImportRequestTimeout).count()));
    // A session of its own: the import may take as long as the server needs to move a large
    // object, and it must not wait behind other requests for a connection.
    QNetworkAccessManager importNetwork;
    const QByteArray body = compact({{"key", key}, {"path", path}});
    co_await checkedResponse(importNetwork, request, kPost, body, kImportResourceTimeout);
}

QCoro::Task<> KelvaneAPI::mkdir(QString path) {
    const QJsonObject request{{"path", path}};
    const QByteArray body = co_await postJSON("/files/mkdir", request);
    checkTextObject(body);
}

QCoro::Task<> KelvaneAPI::move(QString src, QString dst) {
    const QJsonObject request{{"src", src}, {"dst", dst}};
    const QByteArray body = co_await postJSON("/files/move", request);
    checkTextObject(body);
}
