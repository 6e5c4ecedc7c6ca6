#include "shared/package/PackageCrypto.h"

#include <QFile>
#include <memory>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace PackageCrypto {

namespace {

constexpr qint64 kChunkBytes = 1024 * 1024;

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;
using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

const unsigned char* bytesOf(const QByteArray& data) {
    return reinterpret_cast<const unsigned char*>(data.constData());
}

QByteArray digest(const EVP_MD* md, const QByteArray& bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.constData(), size_t(bytes.size()), out, &length, md, nullptr) != 1)
        return {};
    return QByteArray(reinterpret_cast<const char*>(out), int(length));
}

std::optional<QByteArray> digestFile(const EVP_MD* md, const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1) {
        if (error)
            *error = QStringLiteral("the digest is unavailable");
        return std::nullopt;
    }
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(chunk.data(), chunk.size());
        if (n < 0) {
            if (error)
                *error = file.errorString();
            return std::nullopt;
        }
        if (n == 0)
            break;
        EVP_DigestUpdate(context.get(), chunk.constData(), size_t(n));
    }
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), out, &length);
    return QByteArray(reinterpret_cast<const char*>(out), int(length));
}

Key privateKey(const QByteArray& seed) {
    if (seed.size() != kSeedBytes)
        return Key(nullptr, &EVP_PKEY_free);
    return Key(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, bytesOf(seed), kSeedBytes),
               &EVP_PKEY_free);
}

} // namespace

QByteArray sha256(const QByteArray& bytes) {
    return digest(EVP_sha256(), bytes);
}

std::optional<QByteArray> sha256File(const QString& path, QString* error) {
    return digestFile(EVP_sha256(), path, error);
}

QByteArray blake2b512(const QByteArray& bytes) {
    return digest(EVP_blake2b512(), bytes);
}

std::optional<QByteArray> blake2b512File(const QString& path, QString* error) {
    return digestFile(EVP_blake2b512(), path, error);
}

QByteArray randomBytes(int count) {
    QByteArray out(count, Qt::Uninitialized);
    if (RAND_bytes(reinterpret_cast<unsigned char*>(out.data()), count) != 1)
        return {};
    return out;
}

QByteArray ed25519PublicKey(const QByteArray& seed) {
    const Key key = privateKey(seed);
    if (!key)
        return {};
    QByteArray out(kPublicKeyBytes, Qt::Uninitialized);
    size_t length = size_t(out.size());
    if (EVP_PKEY_get_raw_public_key(key.get(), reinterpret_cast<unsigned char*>(out.data()),
                                    &length) != 1 ||
        length != size_t(kPublicKeyBytes))
        return {};
    return out;
}

QByteArray ed25519Sign(const QByteArray& seed, const QByteArray& message) {
    const Key key = privateKey(seed);
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !context ||
        EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return {};
    QByteArray out(kSignatureBytes, Qt::Uninitialized);
    size_t length = size_t(out.size());
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(out.data()), &length,
                       bytesOf(message), size_t(message.size())) != 1 ||
        length != size_t(kSignatureBytes))
        return {};
    return out;
}

bool ed25519Verify(const QByteArray& publicKey, const QByteArray& message,
                   const QByteArray& signature) {
    if (publicKey.size() != kPublicKeyBytes || signature.size() != kSignatureBytes)
        return false;
    const Key key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytesOf(publicKey), kPublicKeyBytes),
        &EVP_PKEY_free);
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !context ||
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), bytesOf(signature), size_t(signature.size()),
                            bytesOf(message), size_t(message.size())) == 1;
}

} // namespace PackageCrypto
