#include "fileprovider/ReplyToFile.h"

#include <QRegularExpression>

ReplyToFile::ReplyToFile(QNetworkReply& reply, QFile& file, Options options)
    : reply_(reply), file_(file), options_(std::move(options)) {
    buffer_.reserve(2 * kChunk);
    readyRead_ = QObject::connect(&reply_, &QIODevice::readyRead, &reply_, [this] { take(); });
}

bool ReplyToFile::judge() {
    if (!judged_) {
        judged_ = true;
        refused_ = options_.accept && !options_.accept(reply_);
    }
    return !refused_;
}

namespace {

// Later, never inside the reply's own signal: aborting finishes the reply, and whoever waits
// for that may end this object at once.
void abortSoon(QNetworkReply& reply) {
    QMetaObject::invokeMethod(&reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

} // namespace

void ReplyToFile::take() {
    if (!judge() || full_ || fileError_) {
        reply_.readAll(); // dropped
        if (refused_ || fileError_)
            abortSoon(reply_);
        return;
    }
    // Straight into the buffer: no copy of every piece that arrives.
    qint64 available = reply_.bytesAvailable();
    if (options_.limit >= 0) {
        const qint64 room = options_.limit - written_ - buffer_.size();
        if (available >= room) {
            available = room;
            full_ = true;
        }
    }
    const qsizetype at = buffer_.size();
    buffer_.resize(at + available);
    const qint64 got = reply_.read(buffer_.data() + at, available);
    buffer_.resize(at + std::max<qint64>(got, 0));
    received_ += std::max<qint64>(got, 0);
    if (full_)
        reply_.readAll(); // past the limit: dropped
    if (buffer_.size() >= kChunk || full_)
        write();
    // An answer that ends at the limit finishes by itself and leaves its connection for the
    // next request; only one that would go on is stopped.
    if (fileError_ || (full_ && !endsAtLimit()))
        abortSoon(reply_);
}

bool ReplyToFile::endsAtLimit() const {
    const qint64 length = announced();
    return length >= 0 && length <= options_.limit;
}

qint64 ReplyToFile::announced() const {
    // A range answer announces its slice; any other its whole length.
    static const QRegularExpression range(QStringLiteral("^bytes (\\d+)-(\\d+)/"));
    const auto match = range.match(QString::fromLatin1(reply_.rawHeader("Content-Range")));
    if (reply_.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 206 &&
        match.hasMatch())
        return match.captured(2).toLongLong() - match.captured(1).toLongLong() + 1;
    if (reply_.header(QNetworkRequest::ContentLengthHeader).isValid())
        return reply_.header(QNetworkRequest::ContentLengthHeader).toLongLong();
    return -1;
}

void ReplyToFile::write() {
    if (buffer_.isEmpty() || fileError_)
        return;
    // One chunk, handed to the kernel in slices that stay in the processor's cache: measured
    // here, 64 KiB writes copy into the page cache several times faster than 1 MiB ones.
    for (qsizetype at = 0; at < buffer_.size(); at += kSlice) {
        const qint64 length = std::min<qint64>(kSlice, buffer_.size() - at);
        if (file_.write(buffer_.constData() + at, length) != length) {
            fileError_ = file_.errorString();
            return;
        }
    }
    written_ += buffer_.size();
    buffer_.resize(0); // keeps the allocation for the next chunk
    if (options_.onWrite)
        options_.onWrite(written_);
}

bool ReplyToFile::cutShort() const {
    if (refused_ || full_)
        return false;
    const qint64 expected = announced();
    return expected >= 0 && received_ < expected;
}

void ReplyToFile::flush() {
    QObject::disconnect(readyRead_);
    judge(); // an answer without a body is judged too
    if (reply_.bytesAvailable() > 0)
        take();
    if (!refused_)
        write();
}
