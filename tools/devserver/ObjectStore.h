#pragma once

#include "tools/devserver/PresignedUrl.h"

#include <QList>
#include <QString>
#include <atomic>
#include <mutex>
#include <optional>

class IncomingObject;

// An object store with S3's behaviour for what the extension uses: staged objects under
// "uploads/…" keys that the files API imports into a filespace, multipart uploads with S3's
// completion rules, and the signed addresses that reach them. Everything lives on disk in its
// own folder; refusals are thrown as ApiRefusal with S3's error code leading the text.
class ObjectStore {
public:
    struct Part {
        int number = 0;
        QString etag; // as the client lists it, quotes allowed
    };
    struct Upload {
        QString key;
        QString path; // the server path the upload was started for
    };

    static constexpr qint64 kMinPartBytes = 5 * 1024 * 1024;
    static constexpr int kMaxPartNumber = 10'000;
    static constexpr qint64 kDefaultExpirySeconds = 3600;

    // Throws std::runtime_error when the folder cannot be made.
    explicit ObjectStore(const QString& root);

    static bool isStagingKey(const QString& key);
    static QString quoted(const QString& md5Hex) { return '"' + md5Hex + '"'; }

    // A signed address for the key, valid for the current expiry from now.
    QString presign(const QString& base, const QString& method, const QString& key,
                    const PresignedUrl::Parameters& parameters = {}) const;
    const PresignedUrl& signer() const { return signer_; }
    // Negative values hand out addresses that have already expired (for tests).
    void setExpirySeconds(qint64 seconds) { expirySeconds_ = seconds; }
    qint64 expirySeconds() const { return expirySeconds_; }

    QString tempDir() const { return root_ + "/tmp"; }
    QString newStagingKey() const;
    // The file of a stored staged object; nothing when there is none.
    std::optional<QString> stagedFile(const QString& key) const;
    // Commits the body as the object and returns its ETag (quoted MD5).
    QString storeStaged(const QString& key, IncomingObject& body);
    // Forgets a staged object whose file was moved elsewhere.
    void forgetStaged(const QString& key);

    // Returns the new upload's identifier.
    QString beginMultipart(const QString& key, const QString& path);
    // Throws 404 NoSuchUpload when the upload is unknown or belongs to another key.
    Upload upload(const QString& uploadId, const QString& key) const;
    QString storePart(const QString& uploadId, const QString& key, int partNumber,
                      IncomingObject& body);
    // Assembles the listed parts into the staged object and returns its ETag.
    QString complete(const QString& uploadId, const QString& key, const QList<Part>& parts);
    // Discards the upload and every part stored for it.
    void abort(const QString& uploadId, const QString& key);

    int stagedCount() const;
    int uploadCount() const;

private:
    QString uploadDir(const QString& uploadId) const;
    void checkParts(const QString& dir, const QList<Part>& parts) const;
    void assemble(const QString& dir, const QList<Part>& parts, const QString& key);

    QString root_;
    PresignedUrl signer_;
    std::atomic<qint64> expirySeconds_{kDefaultExpirySeconds};
    mutable std::mutex mutex_;
};
