#include "tools/devserver/PresignedUrl.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>

namespace {

constexpr int kSecretBytes = 32;

QString encodedKey(const QString& key) {
    QStringList pieces;
    for (const QString& piece : key.split('/'))
        pieces.append(QString::fromLatin1(QUrl::toPercentEncoding(piece)));
    return pieces.join('/');
}

// Compares in constant time so a forged signature cannot be found byte by byte.
bool sameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace

QByteArray PresignedUrl::signature(const QString& method, const QString& key,
                                   Parameters parameters) const {
    std::sort(parameters.begin(), parameters.end());
    QByteArray message = method.toUtf8() + '\n' + key.toUtf8();
    for (const auto& [name, value] : std::as_const(parameters))
        message += '\n' + name.toUtf8() + '=' + value.toUtf8();
    return QMessageAuthenticationCode::hash(message, secret_, QCryptographicHash::Sha256).toHex();
}

QString PresignedUrl::make(const QString& base, const QString& method, const QString& key,
                           Parameters parameters, qint64 expiresAt) const {
    parameters.append({QString::fromLatin1(kExpires), QString::number(expiresAt)});
    const QByteArray signed_ = signature(method, key, parameters);
    QString query;
    for (const auto& [name, value] : std::as_const(parameters))
        query += name + '=' + QString::fromLatin1(QUrl::toPercentEncoding(value)) + '&';
    query += QString::fromLatin1(kSignature) + '=' + QString::fromLatin1(signed_);
    return base + "/objects/" + encodedKey(key) + '?' + query;
}

PresignedUrl::Check PresignedUrl::check(const std::string& method, const QString& key,
                                        const httplib::Params& parameters, qint64 now) const {
    Parameters signedParameters;
    QByteArray given;
    std::optional<qint64> expiresAt;
    for (const auto& [name, value] : parameters) {
        const QString text = QString::fromStdString(value);
        if (name == kSignature) {
            given = text.toLatin1();
            continue;
        }
        if (name == kExpires) {
            bool ok = false;
            expiresAt = text.toLongLong(&ok);
            if (!ok)
                return Check::badSignature;
        }
        signedParameters.append({QString::fromStdString(name), text});
    }
    if (given.isEmpty() || !expiresAt)
        return Check::unsigned_;
    if (!sameBytes(given, signature(QString::fromStdString(method), key, signedParameters)))
        return Check::badSignature;
    return now > *expiresAt ? Check::expired : Check::valid;
}

QByteArray PresignedUrl::loadOrCreateSecret(const QString& file) {
    QFile stored(file);
    if (stored.open(QIODevice::ReadOnly)) {
        const QByteArray secret = QByteArray::fromHex(stored.readAll().trimmed());
        if (secret.size() == kSecretBytes)
            return secret;
    }
    QByteArray secret(kSecretBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(secret.data()),
                                          kSecretBytes / sizeof(quint32));
    AtomicFile::write(file, secret.toHex(), AtomicFile::Mode::OwnerOnly);
    return secret;
}
