#include "shared/package/MinisignKey.h"

#include "shared/package/PackageCrypto.h"

#include <QFile>
#include <QList>
#include <algorithm>

namespace {

constexpr int kKeyIdBytes = 8;
const QByteArray kKeyAlgorithm = "Ed";
const QByteArray kChecksumAlgorithm = "B2";
const QByteArray kCommentPrefix = "untrusted comment: ";
// Algorithm, key id, key.
constexpr int kPublicBlobBytes = 2 + kKeyIdBytes + PackageCrypto::kPublicKeyBytes;
// Algorithm, KDF algorithm, checksum algorithm, KDF salt, ops and memory limits, key id, the
// 64-byte secret key (seed then public key), checksum.
constexpr int kSaltBytes = 32;
constexpr int kSecretBlobBytes = 2 + 2 + 2 + kSaltBytes + 8 + 8 + kKeyIdBytes + 64 + 32;
constexpr int kKeyIdOffset = 2 + 2 + 2 + kSaltBytes + 8 + 8;
constexpr int kSecretOffset = kKeyIdOffset + kKeyIdBytes;

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

// The base64 line of a key file: the line after the untrusted comment, or the only line.
std::optional<QByteArray> keyLine(const QByteArray& text, QString* error) {
    QList<QByteArray> lines;
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines.append(trimmed);
    }
    if (!lines.isEmpty() && lines.first().startsWith(kCommentPrefix.trimmed()))
        lines.removeFirst();
    if (lines.size() != 1) {
        fail(error, QStringLiteral("not a minisign key file"));
        return std::nullopt;
    }
    return lines.first();
}

std::optional<QByteArray> decodeBlob(const QByteArray& line, int size, QString* error) {
    const auto decoded =
        QByteArray::fromBase64Encoding(line, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size) {
        fail(error, QStringLiteral("the key is not valid base64 of the right length"));
        return std::nullopt;
    }
    return decoded.decoded;
}

std::optional<QByteArray> readFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, path + ": " + file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

} // namespace

std::optional<MinisignPublicKey> MinisignPublicKey::parse(const QByteArray& text, QString* error) {
    const auto line = keyLine(text, error);
    if (!line)
        return std::nullopt;
    const auto blob = decodeBlob(*line, kPublicBlobBytes, error);
    if (!blob)
        return std::nullopt;
    if (blob->left(2) != kKeyAlgorithm) {
        fail(error, QStringLiteral("not an Ed25519 minisign public key"));
        return std::nullopt;
    }
    MinisignPublicKey key;
    key.keyId_ = blob->mid(2, kKeyIdBytes);
    key.key_ = blob->mid(2 + kKeyIdBytes);
    return key;
}

std::optional<MinisignPublicKey> MinisignPublicKey::load(const QString& path, QString* error) {
    const auto text = readFile(path, error);
    return text ? parse(*text, error) : std::nullopt;
}

QString MinisignPublicKey::keyIdText() const {
    QByteArray reversed(keyId_.size(), Qt::Uninitialized);
    std::reverse_copy(keyId_.cbegin(), keyId_.cend(), reversed.begin());
    return QString::fromLatin1(reversed.toHex().toUpper());
}

QString MinisignPublicKey::fingerprint() const {
    return QString::fromLatin1(PackageCrypto::sha256(key_).toHex());
}

QByteArray MinisignPublicKey::base64() const {
    return (kKeyAlgorithm + keyId_ + key_).toBase64();
}

QByteArray MinisignPublicKey::toText() const {
    return kCommentPrefix + "minisign public key " + keyIdText().toLatin1() + '\n' + base64() +
           '\n';
}

std::optional<MinisignSecretKey> MinisignSecretKey::parse(const QByteArray& text, QString* error) {
    const auto line = keyLine(text, error);
    if (!line)
        return std::nullopt;
    const auto blob = decodeBlob(*line, kSecretBlobBytes, error);
    if (!blob)
        return std::nullopt;
    if (blob->left(2) != kKeyAlgorithm || blob->mid(4, 2) != kChecksumAlgorithm) {
        fail(error, QStringLiteral("not an Ed25519 minisign secret key"));
        return std::nullopt;
    }
    if (blob->mid(2, 2) != QByteArray(2, '\0')) {
        fail(error, QStringLiteral("the secret key is protected by a password; make an "
                                   "unprotected copy with `minisign -C -W -s FILE`"));
        return std::nullopt;
    }
    MinisignSecretKey key;
    key.keyId_ = blob->mid(kKeyIdOffset, kKeyIdBytes);
    key.seed_ = blob->mid(kSecretOffset, PackageCrypto::kSeedBytes);
    key.publicKey_ =
        blob->mid(kSecretOffset + PackageCrypto::kSeedBytes, PackageCrypto::kPublicKeyBytes);
    // The stored public half must belong to the seed, or every signature would be worthless.
    if (PackageCrypto::ed25519PublicKey(key.seed_) != key.publicKey_) {
        fail(error, QStringLiteral("the secret key is damaged"));
        return std::nullopt;
    }
    return key;
}

std::optional<MinisignSecretKey> MinisignSecretKey::load(const QString& path, QString* error) {
    const auto text = readFile(path, error);
    return text ? parse(*text, error) : std::nullopt;
}

MinisignSecretKey MinisignSecretKey::generate() {
    MinisignSecretKey key;
    key.keyId_ = PackageCrypto::randomBytes(kKeyIdBytes);
    key.seed_ = PackageCrypto::randomBytes(PackageCrypto::kSeedBytes);
    key.publicKey_ = PackageCrypto::ed25519PublicKey(key.seed_);
    return key;
}

MinisignPublicKey MinisignSecretKey::publicKey() const {
    MinisignPublicKey key;
    key.keyId_ = keyId_;
    key.key_ = publicKey_;
    return key;
}

QByteArray MinisignSecretKey::toText() const {
    // Laid out as `minisign -G -W` does: no KDF, so salt, limits and checksum stay zero.
    QByteArray blob = kKeyAlgorithm + QByteArray(2, '\0') + kChecksumAlgorithm;
    blob += QByteArray(kSaltBytes + 8 + 8, '\0');
    blob += keyId_ + seed_ + publicKey_ + QByteArray(32, '\0');
    return kCommentPrefix + "minisign secret key (no password)\n" + blob.toBase64() + '\n';
}
