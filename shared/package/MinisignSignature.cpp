#include "shared/package/MinisignSignature.h"

#include "shared/package/PackageCrypto.h"

#include <QList>

namespace {

const QByteArray kPrehashed = "ED";
const QByteArray kLegacy = "Ed";
const QByteArray kUntrustedPrefix = "untrusted comment: ";
const QByteArray kTrustedPrefix = "trusted comment: ";
constexpr int kKeyIdBytes = 8;
constexpr int kSignatureBlobBytes = 2 + kKeyIdBytes + PackageCrypto::kSignatureBytes;
// minisign keeps comments in buffers of this size.
constexpr int kCommentMaxBytes = 1024;

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

std::optional<QByteArray> decode(const QByteArray& line, int size) {
    const auto decoded =
        QByteArray::fromBase64Encoding(line, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size)
        return std::nullopt;
    return decoded.decoded;
}

// Lines without their line ends; blank lines at the end are dropped.
QList<QByteArray> linesOf(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

std::optional<MinisignSignature> MinisignSignature::parse(const QByteArray& text, QString* error) {
    const QList<QByteArray> lines = linesOf(text);
    if (lines.size() != 4 || !lines[0].startsWith(kUntrustedPrefix) ||
        !lines[2].startsWith(kTrustedPrefix)) {
        fail(error, QStringLiteral("not a minisign signature file"));
        return std::nullopt;
    }
    const auto blob = decode(lines[1].trimmed(), kSignatureBlobBytes);
    const auto global = decode(lines[3].trimmed(), PackageCrypto::kSignatureBytes);
    if (!blob || !global) {
        fail(error, QStringLiteral("the signature is not valid base64 of the right length"));
        return std::nullopt;
    }
    MinisignSignature s;
    s.untrustedComment_ = lines[0].mid(kUntrustedPrefix.size());
    s.algorithm_ = blob->left(2);
    s.keyId_ = blob->mid(2, kKeyIdBytes);
    s.signature_ = blob->mid(2 + kKeyIdBytes);
    s.trustedComment_ = lines[2].mid(kTrustedPrefix.size());
    s.globalSignature_ = *global;
    if (s.trustedComment_.size() > kCommentMaxBytes) {
        fail(error, QStringLiteral("the trusted comment is too long"));
        return std::nullopt;
    }
    return s;
}

MinisignSignature MinisignSignature::signDigest(const QByteArray& digest,
                                                const MinisignSecretKey& key,
                                                const QByteArray& trustedComment) {
    MinisignSignature s;
    s.untrustedComment_ = "signature from minisign secret key";
    s.algorithm_ = kPrehashed;
    s.keyId_ = key.keyId();
    s.signature_ = PackageCrypto::ed25519Sign(key.seed(), digest);
    // A comment is one line: a line break would end it early for every reader.
    s.trustedComment_ = trustedComment;
    s.trustedComment_.replace('\n', ' ').replace('\r', ' ');
    s.globalSignature_ = PackageCrypto::ed25519Sign(key.seed(), s.signature_ + s.trustedComment_);
    return s;
}

MinisignSignature MinisignSignature::signBytes(const QByteArray& message,
                                               const MinisignSecretKey& key,
                                               const QByteArray& trustedComment) {
    return signDigest(PackageCrypto::blake2b512(message), key, trustedComment);
}

std::optional<MinisignSignature> MinisignSignature::signFile(const QString& path,
                                                             const MinisignSecretKey& key,
                                                             const QByteArray& trustedComment,
                                                             QString* error) {
    const auto digest = PackageCrypto::blake2b512File(path, error);
    if (!digest)
        return std::nullopt;
    return signDigest(*digest, key, trustedComment);
}

bool MinisignSignature::verifyDigest(const QByteArray& digest, const MinisignPublicKey& key,
                                     QString* error) const {
    if (algorithm_ == kLegacy)
        return fail(error, QStringLiteral("legacy signature (not prehashed) refused"));
    if (algorithm_ != kPrehashed)
        return fail(error, QStringLiteral("unknown signature algorithm"));
    if (keyId_ != key.keyId())
        return fail(error, QStringLiteral("signed with key %1, not with the trusted key %2")
                               .arg(QString::fromLatin1(keyId_.toHex()),
                                    QString::fromLatin1(key.keyId().toHex())));
    if (!PackageCrypto::ed25519Verify(key.key(), digest, signature_))
        return fail(error, QStringLiteral("the signature does not match the file"));
    if (!PackageCrypto::ed25519Verify(key.key(), signature_ + trustedComment_, globalSignature_))
        return fail(error, QStringLiteral("the trusted comment's signature does not verify"));
    return true;
}

bool MinisignSignature::verifyBytes(const QByteArray& message, const MinisignPublicKey& key,
                                    QString* error) const {
    return verifyDigest(PackageCrypto::blake2b512(message), key, error);
}

bool MinisignSignature::verifyFile(const QString& path, const MinisignPublicKey& key,
                                   QString* error) const {
    const auto digest = PackageCrypto::blake2b512File(path, error);
    return digest && verifyDigest(*digest, key, error);
}

QByteArray MinisignSignature::toText() const {
    return kUntrustedPrefix + untrustedComment_ + '\n' +
           (algorithm_ + keyId_ + signature_).toBase64() + '\n' + kTrustedPrefix + trustedComment_ +
           '\n' + globalSignature_.toBase64() + '\n';
}
