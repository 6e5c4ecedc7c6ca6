#include "fileprovider/ItemChanges.h"

#include "fileprovider/ExtensionLogging.h"
#include "fileprovider/FileProviderExtension.h"
#include "fileprovider/FileProviderItem.h"
#include "fileprovider/KelvaneAPI.h"
#include "fileprovider/LedgerPace.h"
#include "fileprovider/LocalFileError.h"
#include "fileprovider/MultipartUploader.h"
#include "fileprovider/PinStore.h"
#include "fileprovider/SyncStatusStore.h"
#include "fileprovider/TransferSession.h"
#include "platform/fileprovider/FileProviderError.h"
#include "platform/fileprovider/FileProviderItemFields.h"

#include <QCoroNetworkReply>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QUuid>

namespace ItemChanges {

namespace {

QString describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return describeError(e);
    }
}

// A name the server would read as more (or less) than one piece of a path.
class UnusableNameError : public KelvaneError {
public:
    explicit UnusableNameError(QString name) : name_(std::move(name)) {}
    QString description() const override {
        return QStringLiteral("The name \"%1\" cannot be used for an item.").arg(name_);
    }

private:
    QString name_;
};

bool isOnePathPiece(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains('/') && !name.contains(QChar(0));
}

QUrl presignedURL(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        throw FileProviderError::serverUnreachable();
    return url;
}

qint64 sizeOf(const QString& file) {
    const QFileInfo info(file);
    if (!info.exists())
        throw LocalFileError(QStringLiteral("The file %1 cannot be read.").arg(file));
    return info.size();
}

// PUTs the file to the presigned address, streamed from disk. An HTTP error is
// server-unreachable; a network failure passes through.
QCoro::Task<> putFile(TransferContext& c, QUrl url, QString path, qint64 size,
                      std::shared_ptr<FileProviderProgress> progress) {
    auto* body = new QFile(path);
    if (!body->open(QIODevice::ReadOnly)) {
        const QString text = body->errorString();
        delete body;
        throw LocalFileError(text);
    }
    QNetworkRequest request = TransferSession::request(url, kUploadTimeout);
    request.setHeader(QNetworkRequest::ContentLengthHeader, size);
    // Qt sends a type with every body and would pick a form type; the store ignores it.
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/octet-stream"));
    QNetworkAccessManager* network = c.session.manager();
    if (!network) {
        delete body;
        throw TransferSession::cancelled();
    }
    QNetworkReply* reply = network->put(request, body);
    body->setParent(reply);
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> owner(
        reply, [](QNetworkReply* r) { r->deleteLater(); });
    c.session.track(reply);
    QObject::connect(
        reply, &QNetworkReply::uploadProgress, reply, [progress](qint64 sent, qint64 total) {
            if (total > 0)
                progress->setCompletedUnitCount(std::min<qint64>(sent * 100 / total, 99));
        });
    co_await qCoro(reply).waitForFinished();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() >= 400)
        throw FileProviderError::serverUnreachable();
    if (reply->error() != QNetworkReply::NoError)
        throw c.session.failureOf(*reply);
}

// Keeps the ledger in step with the progress while an upload runs; ends the entry once.
class LedgerUpload {
public:
    LedgerUpload(SyncStatusStore& ledger, const QString& path, qint64 size,
                 std::shared_ptr<FileProviderProgress> progress)
        : ledger_(ledger), id_(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()),
          progress_(std::move(progress)) {
        ledger_.begin(id_, path, size, SyncTransfer::Direction::upload);
        progress_->setObserver(
            [&ledger = ledger_, id = id_, size,
             pace = std::make_shared<LedgerPace>()](qint64 completed, qint64 total) {
                if (total > 0 && pace->due())
                    ledger.update(id, qint64(double(completed) / double(total) * double(size)));
            });
    }
    ~LedgerUpload() { finish(); }
    void update(qint64 bytes) { ledger_.update(id_, bytes); }
    void finish() {
        if (finished_)
            return;
        finished_ = true;
        progress_->setObserver({});
        ledger_.finish(id_);
    }

private:
    SyncStatusStore& ledger_;
    QString id_;
    std::shared_ptr<FileProviderProgress> progress_;
    bool finished_ = false;
};

QCoro::Task<> createFile(TransferContext& c, QString path, QString contents, qint64 size,
                         std::shared_ptr<FileProviderProgress> progress) {
    if (size < kDirectUploadLimit) {
        const DirectPresignResponse answer = co_await c.api.directPresignUpload(path);
        co_await putFile(c, presignedURL(answer.url), contents, size, progress);
        co_await c.api.directImport(answer.key, path);
    } else {
        co_await MultipartUploader::upload(contents, size, path, progress, c.session, c.api);
    }
}

} // namespace

QString destinationPath(const QString& parentIdentifier, const QString& filename) {
    const QString parent = FileProviderItem::path(parentIdentifier);
    return (parent == QLatin1String("/") ? QString() : parent) + '/' + filename;
}

QCoro::Task<> createItem(TransferContext& c, FileProviderItemPtr itemTemplate,
                         std::optional<QString> contents,
                         std::shared_ptr<FileProviderProgress> progress,
                         FileProviderReplicatedExtension::ItemChangeCompletion completion) {
    const QString name = itemTemplate->filename();
    const QString path = destinationPath(itemTemplate->parentItemIdentifier(), name);
    const bool isDir = itemTemplate->contentType() == FileProviderContentType::kFolder;
    QElapsedTimer elapsed;
    elapsed.start();
    qCInfo(lcExtension).noquote()
        << QStringLiteral("createItem begin name=%1 isDir=%2").arg(name).arg(isDir ? 1 : 0);
    if (FileProviderExtension::isSystemJunk(name)) {
        qCInfo(lcExtension).noquote()
            << QStringLiteral("createItem rejecting system junk name=%1").arg(name);
        completion(nullptr, 0, false, std::make_exception_ptr(FileProviderError::noSuchItem()));
        co_return;
    }
    std::optional<LedgerUpload> transfer;
    try {
        if (!isOnePathPiece(name))
            throw UnusableNameError(name);
        if (isDir) {
            co_await c.api.mkdir(path);
            progress->setCompletedUnitCount(100);
            completion(
                std::make_shared<FileProviderItem>(path, true, 0, QDateTime::currentDateTimeUtc()),
                0, false, nullptr);
            co_return;
        }
        if (!contents)
            throw FileProviderError::noSuchItem();
        const qint64 size = sizeOf(*contents);
        qCInfo(lcExtension).noquote() << QStringLiteral("createItem uploading %1 bytes").arg(size);
        transfer.emplace(c.ledger, path, size, progress);
        co_await createFile(c, path, *contents, size, progress);
        transfer->update(size);
        const double seconds = double(elapsed.elapsed()) / 1000.0;
        qCInfo(lcExtension).noquote()
            << QStringLiteral("createItem done %1 bytes in %2s (%3 MB/s)")
                   .arg(size)
                   .arg(seconds, 0, 'f', 2)
                   .arg(double(size) / 1048576.0 / std::max(seconds, 0.001), 0, 'f', 1);
        progress->setCompletedUnitCount(100);
        completion(
            std::make_shared<FileProviderItem>(path, false, size, QDateTime::currentDateTimeUtc()),
            0, false, nullptr);
        transfer->finish();
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        if (transfer)
            transfer->finish();
        qCCritical(lcExtension).noquote()
            << QStringLiteral("createItem failed name=%1 err=%2").arg(name, describe(error));
        completion(nullptr, 0, false, error);
    }
}

QCoro::Task<> modifyItem(TransferContext& c, FileProviderItemPtr item, quint64 changedFields,
                         std::optional<QString> contents,
                         std::shared_ptr<FileProviderProgress> progress,
                         FileProviderReplicatedExtension::ItemChangeCompletion completion) {
    const QString old = FileProviderItem::path(item->itemIdentifier());
    QString current = old;
    std::optional<LedgerUpload> transfer;
    try {
        if (changedFields &
            (FileProviderItemField::kFilename | FileProviderItemField::kParentItemIdentifier)) {
            if (!isOnePathPiece(item->filename()))
                throw UnusableNameError(item->filename());
            const QString target = destinationPath(item->parentItemIdentifier(), item->filename());
            if (target != old) {
                co_await c.api.move(old, target);
                if (PinStore::isPinned(old)) {
                    PinStore::setPinned(true, target);
                    PinStore::setPinned(false, old);
                }
                current = target;
            }
        }
        if ((changedFields & FileProviderItemField::kContents) && contents) {
            const qint64 size = sizeOf(*contents);
            transfer.emplace(c.ledger, current, size, progress);
            const PresignResponse answer = co_await c.api.presignUpload(current);
            co_await putFile(c, presignedURL(answer.url), *contents, size, progress);
            transfer->update(size);
            co_await c.api.notify(current, size);
            transfer->finish();
        }
    } catch (...) {
        if (transfer)
            transfer->finish();
        completion(nullptr, 0, false, std::current_exception());
        co_return;
    }
    const bool isDir = item->contentType() == FileProviderContentType::kFolder;
    progress->setCompletedUnitCount(100);
    completion(std::make_shared<FileProviderItem>(current, isDir, item->documentSize().value_or(0),
                                                  QDateTime::currentDateTimeUtc()),
               0, false, nullptr);
}

} // namespace ItemChanges
