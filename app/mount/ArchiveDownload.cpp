#include "app/mount/ArchiveDownload.h"

#include "shared/KelvaneError.h"

#include <QCoroNetworkReply>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <memory>

namespace ArchiveDownload {

namespace {

// Abort the transfer when no byte has moved for this long.
constexpr int kIdleTimeoutMs = 60'000;

struct ReplyDeleter {
    void operator()(QNetworkReply* reply) const { reply->deleteLater(); }
};

// An HTTP error status still delivers a body, which goes on to the checksum test; no answer,
// or a connection lost mid-body (network errors are numbered below 100), is the transport's.
bool isTransportFailure(const QNetworkReply& reply) {
    const bool answered = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    const auto error = reply.error();
    return error != QNetworkReply::NoError && (!answered || error < 100);
}

} // namespace

QCoro::Task<void> fetch(QNetworkAccessManager& network, QUrl url, QFile& file) {
    QNetworkRequest request(url);
    request.setTransferTimeout(kIdleTimeoutMs);
    std::unique_ptr<QNetworkReply, ReplyDeleter> reply(network.get(request));
    QString writeError;
    const auto drain = [&file, &writeError, raw = reply.get()] {
        const QByteArray bytes = raw->readAll();
        if (writeError.isEmpty() && file.write(bytes) != bytes.size()) {
            writeError = file.errorString();
            raw->abort();
        }
    };
    QObject::connect(reply.get(), &QIODevice::readyRead, reply.get(), drain);
    co_await qCoro(reply.get()).waitForFinished();
    drain();

    if (!writeError.isEmpty())
        throw TransportError(writeError);
    if (reply->error() == QNetworkReply::OperationCanceledError)
        throw TransportError(QStringLiteral("The request timed out."), reply->error());
    if (isTransportFailure(*reply))
        throw TransportError(reply->errorString(), reply->error());
    if (!file.flush())
        throw TransportError(file.errorString());
}

} // namespace ArchiveDownload
