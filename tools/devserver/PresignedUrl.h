#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <httplib.h>

// Signed object addresses, as an object store hands them out: each carries its expiry and an
// HMAC-SHA256 over the method, the object key and every other query parameter, so an address
// cannot be reused for another object, another method, another part or after it expired.
class PresignedUrl {
public:
    using Parameters = QList<QPair<QString, QString>>;
    enum class Check { valid, unsigned_, expired, badSignature };

    static constexpr auto kExpires = "X-Kelvane-Expires";
    static constexpr auto kSignature = "X-Kelvane-Signature";

    explicit PresignedUrl(QByteArray secret) : secret_(std::move(secret)) {}

    // base + "/objects/" + the key's pieces percent-encoded + the signed query.
    QString make(const QString& base, const QString& method, const QString& key,
                 Parameters parameters, qint64 expiresAt) const;
    Check check(const std::string& method, const QString& key, const httplib::Params& parameters,
                qint64 now) const;

    // The store's secret, kept in the data folder so addresses survive a restart.
    static QByteArray loadOrCreateSecret(const QString& file);

private:
    QByteArray signature(const QString& method, const QString& key, Parameters parameters) const;

    QByteArray secret_;
};
