#include "app/mount/FileDigest.h"

#include <QFile>
#include <memory>
#include <openssl/evp.h>

namespace FileDigest {

namespace {

constexpr qint64 kChunkBytes = 1024 * 1024;

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

} // namespace

Result sha256(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return {{}, QStringLiteral("SHA-256 is unavailable")};
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(chunk.data(), chunk.size());
        if (n < 0)
            return {{}, file.errorString()};
        if (n == 0)
            break;
        EVP_DigestUpdate(context.get(), chunk.constData(), size_t(n));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    return {
        QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex()),
        {}};
}

} // namespace FileDigest
