#include "fileprovider/MultipartUploader.h"

#include "fileprovider/ExtensionLogging.h"
#include "fileprovider/FileSlice.h"
#include "fileprovider/KelvaneAPI.h"
#include "fileprovider/MPError.h"
#include "fileprovider/Notice.h"
#include "fileprovider/TransferSession.h"

#include <QCoroNetworkReply>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

namespace MultipartUploader {

qint64 partCount(qint64 size) {
    return size <= 0 ? 0 : (size + kPartSize - 1) / kPartSize;
}

namespace {

// The state one upload's parts share. The file handle serves every part, each seek-and-read
// under the file lock; results and the byte counter have locks of their own.
struct Upload {
    Upload(qint64 size_, std::shared_ptr<FileProviderProgress> progress_, TransferSession& session_,
           KelvaneAPI& api_)
        : size(size_), parts(int(partCount(size_))), progress(std::move(progress_)),
          session(session_), api(api_) {}

    QString key;
    QString s3UploadId;
    qint64 size = 0;
    int parts = 0;
    std::shared_ptr<FileProviderProgress> progress;
    TransferSession& session;
    KelvaneAPI& api;

    std::shared_ptr<QFile> file;
    std::shared_ptr<std::mutex> fileLock = std::make_shared<std::mutex>();
    std::mutex resultsLock;
    QList<PartResult> results;
    std::mutex counterLock;
    qint64 uploaded = 0;

    int nextPart = 1;
    int running = 0;
    std::exception_ptr failure;
    QList<QPointer<QNetworkReply>> replies;
    Notice settled;
};

QString describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return describeError(e);
    }
}

QCoro::Task<PartResult> uploadPart(std::shared_ptr<Upload> u, int n) {
    const qint64 offset = qint64(n - 1) * kPartSize;
    const qint64 length = std::min(u->size - offset, kPartSize);
    qint64 available = 0;
    {
        std::lock_guard guard(*u->fileLock);
        available = std::clamp<qint64>(u->file->size() - offset, 0, length);
    }
    if (available < length)
        throw MPError::readFailed(
            QStringLiteral("part %1 short read %2/%3").arg(n).arg(available).arg(length));

    const QString address = co_await u->api.directMultipartPartURL(u->key, u->s3UploadId, n);
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        throw MPError::partFailed(n, QStringLiteral("invalid url"));
    if (u->failure)
        throw TransferSession::cancelled(); // another part failed meanwhile

    QNetworkRequest request(url);
    request.setTransferTimeout(int(std::chrono::milliseconds(kPartTimeout).count()));
    request.setHeader(QNetworkRequest::ContentLengthHeader, length);
    // Qt sends a type with every body and would pick a form type; the store ignores it.
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/octet-stream"));
    auto* body = new FileSlice(u->file, u->fileLock, offset, length);
    body->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    QNetworkReply* reply = u->session.requireManager().put(request, body);
    body->setParent(reply);
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> owner(
        reply, [](QNetworkReply* r) { r->deleteLater(); });
    u->session.track(reply);
    u->replies.append(reply);
    co_await qCoro(reply).waitForFinished();

    if (const auto got = body->shortRead())
        throw MPError::readFailed(
            QStringLiteral("part %1 short read %2/%3").arg(n).arg(*got).arg(length));
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() && reply->error() != QNetworkReply::NoError)
        throw u->session.failureOf(*reply);
    const int code = status.isValid() ? status.toInt() : -1;
    if (code < 200 || code > 299)
        throw MPError::partFailed(n, QStringLiteral("HTTP %1").arg(code));
    const QByteArray etag = reply->rawHeader("ETag");
    if (etag.isEmpty())
        throw MPError::partFailed(n, QStringLiteral("missing ETag"));
    {
        std::lock_guard guard(u->counterLock);
        u->uploaded += length;
        u->progress->setCompletedUnitCount(
            std::min<qint64>(u->uploaded * 100 / std::max<qint64>(u->size, 1), 99));
    }
    co_return PartResult{n, QString::fromLatin1(etag)};
}

void startNext(const std::shared_ptr<Upload>& u);

QCoro::Task<> runPart(std::shared_ptr<Upload> u, int n) {
    try {
        const PartResult result = co_await uploadPart(u, n);
        std::lock_guard guard(u->resultsLock);
        u->results.append(result);
    } catch (...) {
        if (!u->failure) {
            u->failure = std::current_exception();
            // The others end as cancelled, which nobody reports.
            for (const QPointer<QNetworkReply>& r : std::as_const(u->replies)) {
                if (r)
                    QMetaObject::invokeMethod(r.data(), &QNetworkReply::abort,
                                              Qt::QueuedConnection);
            }
        }
    }
    --u->running;
    if (!u->failure && u->nextPart <= u->parts)
        startNext(u);
    if (u->running == 0 && (u->failure || u->nextPart > u->parts))
        u->settled.raise();
}

void startNext(const std::shared_ptr<Upload>& u) {
    ++u->running;
    runPart(u, u->nextPart++);
}

QCoro::Task<> sendAbort(QString configFile, QString key, QString s3UploadId,
                        std::shared_ptr<Notice> done) {
    QNetworkAccessManager network;
    KelvaneAPI api(network, configFile);
    co_await api.directMultipartAbort(key, s3UploadId);
    done->raise();
}

// Asks the server to drop the parts; returns when it has, or after the abort wait.
QCoro::Task<> abortUpload(KelvaneAPI& api, QString key, QString s3UploadId) {
    auto done = std::make_shared<Notice>();
    sendAbort(api.configFileSetting(), key, s3UploadId, done);
    co_await done->wait(kAbortWait);
}

} // namespace

QCoro::Task<> upload(QString srcPath, qint64 size, QString destPath,
                     std::shared_ptr<FileProviderProgress> progress, TransferSession& session,
                     KelvaneAPI& api) {
    auto u = std::make_shared<Upload>(size, progress, session, api);
    qCInfo(lcMultipart).noquote() << QStringLiteral("begin size=%1 parts=%2 destPath=%3")
                                         .arg(size)
                                         .arg(u->parts)
                                         .arg(destPath);
    try {
        const DirectMultipartInitResponse init = co_await api.directMultipartInit(destPath);
        u->key = init.key;
        u->s3UploadId = init.s3UploadId;
    } catch (...) {
        throw MPError::initFailed(describe(std::current_exception()));
    }
    qCInfo(lcMultipart).noquote()
        << QStringLiteral("s3UploadId=%1 key=%2").arg(u->s3UploadId, u->key);

    std::exception_ptr failure;
    u->file = std::make_shared<QFile>(srcPath);
    if (!u->file->open(QIODevice::ReadOnly)) {
        failure = std::make_exception_ptr(MPError::readFailed(srcPath));
    } else {
        QElapsedTimer partsClock;
        partsClock.start();
        for (int i = 0; i < std::min(kParallelParts, u->parts); ++i)
            startNext(u);
        if (u->parts > 0)
            co_await u->settled.wait(std::chrono::milliseconds(-1));
        failure = u->failure;
        // Lets a benchmark tell the parts from the server's assembly and import.
        qCDebug(lcMultipart).noquote()
            << QStringLiteral("parts ended after %1 s")
                   .arg(double(partsClock.elapsed()) / 1000.0, 0, 'f', 3);
    }
    if (!failure) {
        std::stable_sort(
            u->results.begin(), u->results.end(),
            [](const PartResult& a, const PartResult& b) { return a.partNumber < b.partNumber; });
        try {
            co_await api.directMultipartComplete(u->key, u->s3UploadId, u->results);
        } catch (...) {
            failure = std::make_exception_ptr(
                MPError::completeFailed(describe(std::current_exception())));
        }
    }
    if (!failure) {
        try {
            co_await api.directImport(u->key, destPath);
        } catch (...) {
            failure = std::make_exception_ptr(
                MPError::completeFailed(describe(std::current_exception())));
        }
    }
    u->file->close(); // the one close, on every path that opened it
    if (failure) {
        co_await abortUpload(api, u->key, u->s3UploadId);
        std::rethrow_exception(failure);
    }
    progress->setCompletedUnitCount(100);
    qCInfo(lcMultipart).noquote() << QStringLiteral("done destPath=%1").arg(destPath);
}

} // namespace MultipartUploader
