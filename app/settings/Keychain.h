#pragma once

#include <QString>
#include <optional>

class CredentialStore;

// The application's secrets, all under the service "com.30814qv.kelvane"; the key is the
// item's account. Failures are silent: a secret that cannot be read is absent.
class Keychain {
public:
    static inline const QString kTokenKey = QStringLiteral("api_token");

    explicit Keychain(CredentialStore& store);

    std::optional<QString> get(const QString& key) const;
    void save(const QString& key, const QString& value);
    void remove(const QString& key);
    QString storeKind() const;

private:
    CredentialStore& store_;
};
