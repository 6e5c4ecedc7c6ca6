#pragma once

#include "fileprovider/FilesRecords.h"

#include <QCoroTask>
#include <QJsonObject>
#include <QNetworkRequest>
#include <chrono>
#include <optional>

class QNetworkAccessManager;

// The extension's client for the server's files API. It keeps nothing between calls: every
// request reads the address and token from config.json afresh, so a new sign-in takes effect
// at the next request. Failures: KelvaneAPIError for refusals, wrong shapes and a missing
// configuration; TransportError, with Qt's own text, for the network.
class KelvaneAPI {
public:
    static constexpr std::chrono::seconds kRequestTimeout{60};
    static constexpr std::chrono::seconds kImportRequestTimeout{1800};
    static constexpr std::chrono::seconds kImportResourceTimeout{3600};

    // An empty file means the extension's config.json, resolved at each request.
    explicit KelvaneAPI(QNetworkAccessManager& network, QString configFile = {});

    // The configuration file this client was made with; empty for the extension's own.
    const QString& configFileSetting() const { return configFile_; }

    // The path as one query value: percent-encoded so that "/", "&", "=", "+" and "#" (and
    // everything outside the URL path characters) cannot split or end it.
    static QString encodeQueryValue(const QString& path);

    // The entries whose names can stand as one path piece, first of each name only.
    static QList<Entry> usableEntries(QList<Entry> entries, const QString& folder);

    // The request for apiURL + path with the bearer token; throws notConfigured.
    QNetworkRequest makeRequest(const QString& path) const;

    // The folder's children. Entries whose names cannot be one piece of a path, and later
    // repeats of a name, are left out.
    QCoro::Task<QList<Entry>> list(QString path);
    QCoro::Task<> remove(QString path);
    QCoro::Task<PresignResponse> presignDownload(QString path);
    QCoro::Task<PresignResponse> presignUpload(QString path);
    QCoro::Task<DirectPresignResponse> directPresignUpload(QString path);
    // Never fails.
    QCoro::Task<> notify(QString path, qint64 size);
    QCoro::Task<DirectMultipartInitResponse> directMultipartInit(QString path);
    QCoro::Task<QString> directMultipartPartURL(QString key, QString s3UploadId, int partNumber);
    QCoro::Task<> directMultipartComplete(QString key, QString s3UploadId, QList<PartResult> parts);
    // Never fails.
    QCoro::Task<> directMultipartAbort(QString key, QString s3UploadId);
    QCoro::Task<> directImport(QString key, QString path);
    QCoro::Task<> mkdir(QString path);
    QCoro::Task<> move(QString src, QString dst);

    // The compact JSON body of a multipart completion, parts in the given order.
    static QJsonObject completionBody(const QString& key, const QString& s3UploadId,
                                      const QList<PartResult>& parts);

private:
    QString configFile() const;
    // Sends the request and returns the body of an answer below 400; throws http otherwise.
    // A whole-request deadline, when given, ends the request however busy it is.
    QCoro::Task<QByteArray>
    checkedResponse(QNetworkAccessManager& network, QNetworkRequest request, QByteArray verb,
                    QByteArray body,
                    std::optional<std::chrono::milliseconds> resourceTimeout = std::nullopt);
    QCoro::Task<QByteArray> postJSON(const QString& path, const QJsonObject& body);

    QNetworkAccessManager& network_;
    QString configFile_;
};
