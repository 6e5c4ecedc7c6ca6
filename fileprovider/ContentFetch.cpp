#include "fileprovider/ContentFetch.h"

#include "fileprovider/ExtensionLogging.h"
#include "fileprovider/FileProviderItem.h"
#include "fileprovider/KelvaneAPI.h"
#include "fileprovider/LedgerPace.h"
#include "fileprovider/LocalFileError.h"
#include "fileprovider/PrefetchTracker.h"
#include "fileprovider/ReplyToFile.h"
#include "fileprovider/SyncStatusStore.h"
#include "fileprovider/TransferSession.h"
#include "platform/fileprovider/FileProviderError.h"

#include <QCoroNetworkReply>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QUuid>

namespace ContentFetch {

namespace {

using Reply = std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)>;

Reply owned(QNetworkReply* reply) {
    return Reply(reply, [](QNetworkReply* r) { r->deleteLater(); });
}

QString newId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

struct Located {
    QString path;
    QString parent;
    std::optional<Entry> entry;
};

// The item's entry in its parent's listing; a failed listing throws.
QCoro::Task<Located> locate(KelvaneAPI& api, QString identifier) {
    Located found;
    found.path = FileProviderItem::path(identifier);
    const qsizetype slash = found.path.lastIndexOf('/');
    found.parent = slash <= 0 ? QStringLiteral("/") : found.path.left(slash);
    const QString name = found.path.mid(slash + 1);
    for (const Entry& e : co_await api.list(found.parent)) {
        if (e.name == name) {
            found.entry = e;
            break;
        }
    }
    co_return found;
}

QCoro::Task<QUrl> presignedURL(KelvaneAPI& api, QString path) {
    const PresignResponse answer = co_await api.presignDownload(path);
    const QUrl url(answer.url, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        throw FileProviderError::serverUnreachable();
    co_return url;
}

QString describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return describeError(e);
    }
}

bool isLocal(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const LocalFileError&) {
        return true;
    } catch (...) {
        return false;
    }
}

TransportError cutShort() {
    return TransportError(QStringLiteral("The connection closed before the whole answer arrived."),
                          QNetworkReply::RemoteHostClosedError);
}

std::chrono::milliseconds backoff(int attempt) {
    return std::chrono::seconds(qint64(1) << attempt);
}

QString seconds(std::chrono::milliseconds delay) {
    return QString::number(double(delay.count()) / 1000.0, 'f', 0) + 's';
}

// The start of the range a 206 answer carries; nothing when it names none.
std::optional<qint64> contentRangeStart(const QNetworkReply& reply) {
    static const QRegularExpression form(QStringLiteral("^bytes (\\d+)-\\d+/(\\d+|\\*)$"));
    const auto match = form.match(QString::fromLatin1(reply.rawHeader("Content-Range")).trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLongLong();
}

// Bytes placed at the offset they were asked for, and nowhere else: a 206 for the range asked
// (or one that does not say), a 200 only when the range starts at 0.
bool answersRangeFrom(const QNetworkReply& reply, qint64 from) {
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return true;
    if (status.toInt() == 206) {
        const auto start = contentRangeStart(reply);
        return !start || *start == from;
    }
    return status.toInt() == 200 && from == 0;
}

// One ranged GET of [from, end) into the file at from; returns the bytes it wrote. Bytes
// that arrived before a failure are written too, so a retry asks only for the rest.
QCoro::Task<qint64> streamRange(TransferContext& c, QUrl url, QFile& file, qint64 from, qint64 end,
                                std::function<void(qint64)> onWrite) {
    QNetworkRequest request = TransferSession::request(url, kRangeTimeout);
    request.setRawHeader("Range", QStringLiteral("bytes=%1-%2").arg(from).arg(end - 1).toLatin1());
    if (!file.seek(from))
        throw LocalFileError(file.errorString());
    QNetworkAccessManager& network = c.session.requireManager();
    const Reply reply = owned(network.get(request));
    c.session.track(reply.get());
    ReplyToFile sink(*reply, file,
                     {end - from,
                      [from](const QNetworkReply& r) { return answersRangeFrom(r, from); },
                      std::move(onWrite)});
    co_await qCoro(reply.get()).waitForFinished();
    sink.flush();
    if (sink.fileError())
        throw LocalFileError(*sink.fileError());
    if (sink.refused())
        throw FileProviderError::serverUnreachable();
    if (!sink.full() && reply->error() != QNetworkReply::NoError)
        throw c.session.failureOf(*reply);
    if (sink.cutShort())
        throw cutShort();
    co_return sink.written();
}

} // namespace

FileProviderRange plannedRange(qint64 location, qint64 length, qint64 readAhead, qint64 alignment,
                               qint64 size) {
    const qint64 block = std::max(alignment, kMinimumBlock);
    const qint64 start = std::max<qint64>(location, 0) / block * block;
    const qint64 wantedEnd = std::min(location + length + readAhead, size);
    qint64 end = std::min((wantedEnd + block - 1) / block * block, size);
    if (start >= end)
        end = std::min(start + block, size);
    return {start, std::max<qint64>(end - start, 0)};
}

QCoro::Task<QString> downloadWithProgress(TransferContext& c, QUrl url, QString transferId,
                                          std::shared_ptr<FileProviderProgress> progress) {
    QNetworkAccessManager& network = c.session.requireManager();
    const QString target = QDir::tempPath() + '/' + newId();
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        throw LocalFileError(file.errorString());
    const Reply reply = owned(network.get(TransferSession::request(url)));
    c.session.track(reply.get());
    QNetworkReply* raw = reply.get();
    ReplyToFile sink(
        *reply, file,
        {-1,
         [](const QNetworkReply& r) {
             return r.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() < 400;
         },
         [&c, transferId, progress, raw, pace = LedgerPace()](qint64 received) mutable {
             if (pace.due())
                 c.ledger.update(transferId, received);
             const qint64 expected = raw->header(QNetworkRequest::ContentLengthHeader).toLongLong();
             if (expected >= 1)
                 progress->setCompletedUnitCount(std::min<qint64>(received * 100 / expected, 99));
         }});
    co_await qCoro(raw).waitForFinished();
    sink.flush();
    file.close();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    std::exception_ptr failure;
    if (sink.fileError())
        failure = std::make_exception_ptr(LocalFileError(*sink.fileError()));
    else if (sink.refused() || (status.isValid() && status.toInt() >= 400))
        failure = std::make_exception_ptr(FileProviderError::serverUnreachable());
    else if (reply->error() != QNetworkReply::NoError)
        failure = std::make_exception_ptr(c.session.failureOf(*reply));
    else if (sink.cutShort())
        failure = std::make_exception_ptr(cutShort());
    if (failure) {
        QFile::remove(target);
        std::rethrow_exception(failure);
    }
    co_return target;
}

QCoro::Task<> fetchContents(TransferContext& c, QString identifier,
                            std::shared_ptr<FileProviderProgress> progress,
                            FileProviderReplicatedExtension::FetchCompletion completion) {
    Located found;
    try {
        found = co_await locate(c.api, identifier);
    } catch (...) {
        completion(std::nullopt, nullptr, std::current_exception());
        co_return;
    }
    const QString transferId = newId();
    c.ledger.begin(transferId, found.path, found.entry ? found.entry->size : 0,
                   SyncTransfer::Direction::download);
    const auto fail = [&](std::exception_ptr error) {
        c.ledger.finish(transferId);
        completion(std::nullopt, nullptr, error);
    };

    QString file;
    for (int attempt = 0;; ++attempt) {
        std::exception_ptr error;
        try {
            const QUrl url = co_await presignedURL(c.api, found.path);
            file = co_await downloadWithProgress(c, url, transferId, progress);
            break;
        } catch (...) {
            error = std::current_exception();
        }
        if (attempt == kWholeFileTries - 1 || isLocal(error) || c.session.isInvalidated()) {
            fail(error);
            co_return;
        }
        const auto delay = backoff(attempt);
        qCInfo(lcExtension).noquote()
            << QStringLiteral("fetchContents attempt %1 failed — retrying in %2 (%3)")
                   .arg(attempt + 1)
                   .arg(seconds(delay), describe(error));
        co_await c.sleep(delay);
        if (c.session.isInvalidated()) {
            fail(std::make_exception_ptr(TransferSession::cancelled()));
            co_return;
        }
    }

    const QFileInfo info(file);
    if (!info.exists()) {
        QFile::remove(file);
        fail(std::make_exception_ptr(LocalFileError("The downloaded file is gone: " + file)));
        co_return;
    }
    const QDateTime modified =
        info.lastModified().isValid() ? info.lastModified() : QDateTime::currentDateTimeUtc();
    auto item = std::make_shared<FileProviderItem>(found.path, false, info.size(), modified);
    progress->setCompletedUnitCount(100);
    c.ledger.update(transferId, info.size());
    completion(file, item, nullptr);
    c.ledger.finish(transferId);
}

QCoro::Task<> fetchPartialContents(TransferContext& c, QString identifier,
                                   FileProviderRange minimal, qint64 alignment,
                                   std::shared_ptr<FileProviderProgress> progress,
                                   FileProviderReplicatedExtension::PartialFetchCompletion done) {
    const QString requestedPath = FileProviderItem::path(identifier);
    qCInfo(lcExtension).noquote() << QStringLiteral("fetchPartialContents path=%1 range=%2..%3")
                                         .arg(requestedPath)
                                         .arg(minimal.location)
                                         .arg(minimal.location + minimal.length);
    Located found;
    try {
        found = co_await locate(c.api, identifier);
    } catch (...) {
        done(std::nullopt, nullptr, {}, 0, std::current_exception());
        co_return;
    }
    if (!found.entry) {
        done(std::nullopt, nullptr, {}, 0,
             std::make_exception_ptr(FileProviderError::noSuchItem()));
        co_return;
    }
    const qint64 size = found.entry->size;
    const qint64 readAhead = c.prefetcher.recordAndAdvise(identifier, minimal.location,
                                                          minimal.location + minimal.length);
    const FileProviderRange planned =
        plannedRange(minimal.location, minimal.length, readAhead, alignment, size);
    const qint64 start = planned.location;
    const qint64 end = planned.location + planned.length;
    c.prefetcher.recordFetched(identifier, end);
    qCInfo(lcExtension).noquote() << QStringLiteral("partial fetch sized: %1 bytes (read-ahead=%2)")
                                         .arg(end - start)
                                         .arg(readAhead);

    const QString transferId = newId();
    c.ledger.begin(transferId, found.path, end - start, SyncTransfer::Direction::download);
    const QString target = QDir::tempPath() + "/kel-" + newId();
    QFile file(target);
    const auto fail = [&](std::exception_ptr error) {
        file.close();
        QFile::remove(target);
        c.ledger.finish(transferId);
        done(std::nullopt, nullptr, {}, 0, error);
    };
    // Full size: later ranges of the item land at their own offsets.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate) || !file.resize(size)) {
        fail(std::make_exception_ptr(LocalFileError(file.errorString())));
        co_return;
    }

    qint64 written = 0;
    LedgerPace pace;
    for (int attempt = 0; start + written < end;) {
        const qint64 before = written;
        std::exception_ptr error;
        try {
            const QUrl url = co_await presignedURL(c.api, found.path);
            co_await streamRange(c, url, file, start + written, end, [&, before](qint64 now) {
                written = before + now;
                progress->setCompletedUnitCount(std::min(minimal.length, written));
                if (pace.due())
                    c.ledger.update(transferId, written);
            });
            break; // the stream ended: what it brought is the fetched range
        } catch (...) {
            error = std::current_exception();
        }
        if (attempt == kPartialTries - 1 || isLocal(error) || c.session.isInvalidated()) {
            if (written >= end - start && !isLocal(error))
                break;
            fail(error);
            co_return;
        }
        const auto delay = backoff(attempt);
        qCInfo(lcExtension).noquote()
            << QStringLiteral("partial fetch attempt %1 failed at %2/%3 — retrying in %4 (%5)")
                   .arg(attempt + 1)
                   .arg(start + written)
                   .arg(end)
                   .arg(seconds(delay), describe(error));
        co_await c.sleep(delay);
        ++attempt;
    }

    file.close();
    if (file.error() != QFileDevice::NoError) {
        fail(std::make_exception_ptr(LocalFileError(file.errorString())));
        co_return;
    }
    progress->setCompletedUnitCount(std::min(minimal.length, written));
    c.ledger.update(transferId, written);
    done(target, FileProviderItem::from(*found.entry, found.parent), {start, written}, 0, nullptr);
    c.ledger.finish(transferId);
}

} // namespace ContentFetch
