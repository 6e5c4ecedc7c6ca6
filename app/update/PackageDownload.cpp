#include "app/update/PackageDownload.h"

#include "shared/KelvaneError.h"

#include <QCoroNetworkReply>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryFile>
#include <memory>
#include <unistd.h>

namespace PackageDownload {

namespace {

// Abort the transfer when no byte has moved for this long.
constexpr int kIdleTimeoutMs = 60'000;

struct ReplyDeleter {
    void operator()(QNetworkReply* reply) const { reply->deleteLater(); }
};

} // namespace

QCoro::Task<Outcome> fetch(QNetworkAccessManager& network, QUrl url, QString destination,
                           qint64 maxBytes) {
    QTemporaryFile file(QFileInfo(destination).absolutePath() + "/.kelvane-download-XXXXXX");
    if (!file.open())
        throw TransportError(file.errorString());
    QNetworkRequest request(url);
    request.setTransferTimeout(kIdleTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    std::unique_ptr<QNetworkReply, ReplyDeleter> reply(network.get(request));
    QString writeError;
    bool tooLarge = false;
    const auto drain = [&, raw = reply.get()] {
        const QByteArray bytes = raw->readAll();
        if (!writeError.isEmpty() || tooLarge)
            return;
        if (file.size() + bytes.size() > maxBytes) {
            tooLarge = true;
            raw->abort();
        } else if (file.write(bytes) != bytes.size()) {
            writeError = file.errorString();
            raw->abort();
        }
    };
    QObject::connect(reply.get(), &QIODevice::readyRead, reply.get(), drain);
    // A size announced beyond the limit ends the transfer before its body.
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(),
                     [&, raw = reply.get()] {
                         const QVariant length = raw->header(QNetworkRequest::ContentLengthHeader);
                         if (length.isValid() && length.toLongLong() > maxBytes && !tooLarge) {
                             tooLarge = true;
                             raw->abort();
                         }
                     });
    co_await qCoro(reply.get()).waitForFinished();
    drain();
    if (tooLarge)
        co_return Outcome::tooLarge;
    if (!writeError.isEmpty())
        throw TransportError(writeError);
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    if (error != QNetworkReply::NoError && (error < 100 || !status.isValid())) {
        if (error == QNetworkReply::OperationCanceledError)
            throw TransportError(QStringLiteral("The request timed out."), error);
        throw TransportError(reply->errorString(), error);
    }
    if (status.toInt() != 200)
        co_return Outcome::notOK;
    if (!file.flush())
        throw TransportError(file.errorString());
    QFile::remove(destination);
    if (!file.rename(destination))
        throw TransportError(file.errorString());
    file.setAutoRemove(false);
    co_return Outcome::saved;
}

} // namespace PackageDownload
