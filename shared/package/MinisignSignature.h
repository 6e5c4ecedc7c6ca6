#pragma once

#include "shared/package/MinisignKey.h"

#include <QByteArray>
#include <QString>
#include <optional>

// A minisign signature file (FILE.minisig): an untrusted comment, the base64 of the algorithm,
// the key id and the 64-byte signature, the trusted comment, and the base64 of the signature
// over the first signature followed by the trusted comment. Only the prehashed form "ED" (the
// signature covers the file's BLAKE2b-512) is made or accepted; the legacy form "Ed" over the
// raw file is refused.
class MinisignSignature {
public:
    static std::optional<MinisignSignature> parse(const QByteArray& text, QString* error);

    // Signs a file's bytes or a file; nothing (and the reason) when the file cannot be read.
    static MinisignSignature signBytes(const QByteArray& message, const MinisignSecretKey& key,
                                       const QByteArray& trustedComment);
    static std::optional<MinisignSignature> signFile(const QString& path,
                                                     const MinisignSecretKey& key,
                                                     const QByteArray& trustedComment,
                                                     QString* error);

    // Whether this signature, made by the key, covers the bytes or the file and its trusted
    // comment; the reason when it does not.
    bool verifyBytes(const QByteArray& message, const MinisignPublicKey& key, QString* error) const;
    bool verifyFile(const QString& path, const MinisignPublicKey& key, QString* error) const;

    QByteArray algorithm() const { return algorithm_; }
    QByteArray keyId() const { return keyId_; }
    QByteArray trustedComment() const { return trustedComment_; }
    QByteArray toText() const;

private:
    bool verifyDigest(const QByteArray& digest, const MinisignPublicKey& key, QString* error) const;
    static MinisignSignature signDigest(const QByteArray& digest, const MinisignSecretKey& key,
                                        const QByteArray& trustedComment);

    QByteArray untrustedComment_;
    QByteArray algorithm_;
    QByteArray keyId_;
    QByteArray signature_;
    QByteArray trustedComment_;
    QByteArray globalSignature_;
};
