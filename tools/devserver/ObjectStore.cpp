#include "tools/devserver/ObjectStore.h"

#include "platform/AtomicFile.h"
#include "tools/devserver/ApiRefusal.h"
#include "tools/devserver/IncomingObject.h"
#include "tools/devserver/WorkspaceRecords.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cerrno>
#include <stdexcept>
#include <unistd.h>

namespace {

constexpr qint64 kCopyChunkBytes = 4 * 1024 * 1024;
constexpr int kStagingKeyBytes = 16;
constexpr int kUploadIdBytes = 20;

// Appends the whole of in to out inside the kernel, as an object store assembles parts
// without passing them through itself. False when nothing could be copied that way (another
// file system, an old kernel), so the caller copies by hand.
bool copyInKernel(QFile& in, QFile& out) {
    qint64 copied = 0;
    const qint64 size = in.size();
    while (copied < size) {
        const ssize_t n =
            ::copy_file_range(in.handle(), nullptr, out.handle(), nullptr, size - copied, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (copied == 0)
                return false;
            throw ApiRefusal::diskError("Cannot assemble the object");
        }
        copied += n;
    }
    return true;
}

QString unquoted(QString etag) {
    etag = etag.trimmed();
    if (etag.size() >= 2 && etag.startsWith('"') && etag.endsWith('"'))
        return etag.mid(1, etag.size() - 2);
    return etag;
}

QString readText(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

QString partFile(const QString& dir, int number) {
    return dir + "/part-" + QString::number(number);
}

ApiRefusal noSuchUpload(const QString& uploadId) {
    return ApiRefusal::notFound("NoSuchUpload: no multipart upload " + uploadId);
}

} // namespace

ObjectStore::ObjectStore(const QString& root)
    : root_(root), signer_(PresignedUrl::loadOrCreateSecret(root + "/signing.key")) {
    for (const char* folder : {"/tmp", "/uploads", "/multipart"}) {
        if (!QDir().mkpath(root_ + folder))
            throw std::runtime_error("cannot create " + (root_ + folder).toStdString());
    }
    // Bodies that were arriving when an earlier run ended are of no use to anyone.
    QDir(tempDir()).removeRecursively();
    QDir().mkpath(tempDir());
}

bool ObjectStore::isStagingKey(const QString& key) {
    static const QRegularExpression pattern(QStringLiteral("^uploads/[0-9a-f]{32}$"));
    return pattern.match(key).hasMatch();
}

QString ObjectStore::presign(const QString& base, const QString& method, const QString& key,
                             const PresignedUrl::Parameters& parameters) const {
    const qint64 expiresAt = QDateTime::currentSecsSinceEpoch() + expirySeconds_;
    return signer_.make(base, method, key, parameters, expiresAt);
}

QString ObjectStore::newStagingKey() const {
    return "uploads/" + randomHex(kStagingKeyBytes);
}

std::optional<QString> ObjectStore::stagedFile(const QString& key) const {
    if (!isStagingKey(key))
        return std::nullopt;
    const QString file = root_ + '/' + key;
    if (!QFileInfo(file).isFile())
        return std::nullopt;
    return file;
}

QString ObjectStore::storeStaged(const QString& key, IncomingObject& body) {
    if (!isStagingKey(key))
        throw ApiRefusal::badRequest("InvalidArgument: not an upload key: " + key);
    const QString file = root_ + '/' + key;
    std::lock_guard lock(mutex_);
    body.commitTo(file);
    AtomicFile::write(file + ".etag", body.md5Hex().toLatin1());
    return quoted(body.md5Hex());
}

void ObjectStore::forgetStaged(const QString& key) {
    if (!isStagingKey(key))
        return;
    std::lock_guard lock(mutex_);
    QFile::remove(root_ + '/' + key + ".etag");
    QFile::remove(root_ + '/' + key);
}

QString ObjectStore::uploadDir(const QString& uploadId) const {
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{40}$"));
    if (!pattern.match(uploadId).hasMatch())
        throw noSuchUpload(uploadId);
    return root_ + "/multipart/" + uploadId;
}

QString ObjectStore::beginMultipart(const QString& key, const QString& path) {
    const QString uploadId = randomHex(kUploadIdBytes);
    const QString dir = uploadDir(uploadId);
    const QJsonObject record{{"key", key}, {"path", path}};
    std::lock_guard lock(mutex_);
    if (!QDir().mkpath(dir) ||
        !AtomicFile::write(dir + "/upload.json", QJsonDocument(record).toJson()))
        throw ApiRefusal::diskError("Cannot start the multipart upload");
    return uploadId;
}

ObjectStore::Upload ObjectStore::upload(const QString& uploadId, const QString& key) const {
    QFile f(uploadDir(uploadId) + "/upload.json");
    if (!f.open(QIODevice::ReadOnly))
        throw noSuchUpload(uploadId);
    const QJsonObject record = QJsonDocument::fromJson(f.readAll()).object();
    if (record.value("key").toString() != key)
        throw noSuchUpload(uploadId);
    return {key, record.value("path").toString()};
}

QString ObjectStore::storePart(const QString& uploadId, const QString& key, int partNumber,
                               IncomingObject& body) {
    if (partNumber < 1 || partNumber > kMaxPartNumber)
        throw ApiRefusal::badRequest("InvalidArgument: partNumber must lie between 1 and 10000");
    std::lock_guard lock(mutex_);
    // Checked again under the lock: a completion or abort may have ended the upload while
    // the body was arriving.
    upload(uploadId, key);
    const QString file = partFile(uploadDir(uploadId), partNumber);
    body.commitTo(file);
    AtomicFile::write(file + ".etag", body.md5Hex().toLatin1());
    return quoted(body.md5Hex());
}

void ObjectStore::checkParts(const QString& dir, const QList<Part>& parts) const {
    if (parts.isEmpty())
        throw ApiRefusal::badRequest("MalformedXML: the list of parts is empty");
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const Part& part = parts[i];
        if (i > 0 && part.number <= parts[i - 1].number)
            throw ApiRefusal::badRequest(
                "InvalidPartOrder: the parts must be listed in ascending order of PartNumber");
        const QFileInfo data(partFile(dir, part.number));
        const QString stored = readText(data.filePath() + ".etag");
        if (!data.isFile() || stored.isEmpty())
            throw ApiRefusal::badRequest(
                QStringLiteral("InvalidPart: part %1 was not uploaded").arg(part.number));
        if (unquoted(part.etag) != stored)
            throw ApiRefusal::badRequest(
                QStringLiteral("InvalidPart: part %1 has another ETag").arg(part.number));
        if (i + 1 < parts.size() && data.size() < kMinPartBytes)
            throw ApiRefusal::badRequest(
                QStringLiteral("EntityTooSmall: part %1 has %2 bytes; every part but the last "
                               "needs at least %3")
                    .arg(part.number)
                    .arg(data.size())
                    .arg(kMinPartBytes));
    }
}

void ObjectStore::assemble(const QString& dir, const QList<Part>& parts, const QString& key) {
    QFile out(tempDir() + "/assembling-" + randomHex(16));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw ApiRefusal::diskError("Cannot assemble the object: " + out.errorString());
    for (const Part& part : parts) {
        QFile in(partFile(dir, part.number));
        if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            throw ApiRefusal::diskError("Cannot read part " + QString::number(part.number));
        bool copied = false;
        try {
            copied = copyInKernel(in, out);
        } catch (...) {
            out.remove();
            throw;
        }
        if (copied)
            continue;
        // By hand from the end of what is there: the kernel moved the file's offset, not ours.
        out.seek(out.size());
        while (!in.atEnd()) {
            const QByteArray chunk = in.read(kCopyChunkBytes);
            if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
                out.remove();
                throw ApiRefusal::diskError("Cannot assemble the object");
            }
        }
    }
    out.close();
    const QString target = root_ + '/' + key;
    QFile::remove(target);
    if (!out.rename(target)) {
        out.remove();
        throw ApiRefusal::diskError("Cannot store the assembled object");
    }
}

QString ObjectStore::complete(const QString& uploadId, const QString& key,
                              const QList<Part>& parts) {
    const QString dir = uploadDir(uploadId);
    const QString completing = root_ + "/multipart/.completing-" + uploadId;
    {
        std::lock_guard lock(mutex_);
        upload(uploadId, key);
        checkParts(dir, parts);
        // Out of reach of late part uploads and a second completion from here on.
        if (!QDir().rename(dir, completing))
            throw ApiRefusal::diskError("Cannot complete the multipart upload");
    }
    QByteArray digests;
    for (const Part& part : parts)
        digests += QByteArray::fromHex(unquoted(part.etag).toLatin1());
    const QString etag =
        QString::fromLatin1(QCryptographicHash::hash(digests, QCryptographicHash::Md5).toHex()) +
        '-' + QString::number(parts.size());
    try {
        assemble(completing, parts, key);
    } catch (...) {
        QDir(completing).removeRecursively();
        throw;
    }
    AtomicFile::write(root_ + '/' + key + ".etag", etag.toLatin1());
    QDir(completing).removeRecursively();
    return quoted(etag);
}

void ObjectStore::abort(const QString& uploadId, const QString& key) {
    std::lock_guard lock(mutex_);
    upload(uploadId, key);
    QDir(uploadDir(uploadId)).removeRecursively();
}

int ObjectStore::stagedCount() const {
    std::lock_guard lock(mutex_);
    return int(QDir(root_ + "/uploads").entryList({"*.etag"}, QDir::Files).size());
}

int ObjectStore::uploadCount() const {
    std::lock_guard lock(mutex_);
    return int(QDir(root_ + "/multipart").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}
