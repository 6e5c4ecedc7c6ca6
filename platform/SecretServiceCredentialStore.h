#pragma once

#include "platform/CredentialStore.h"

// The desktop keyring (GNOME Keyring, KWallet) through libsecret's synchronous API.
// Items carry the attributes "service" and "account".
class SecretServiceCredentialStore : public CredentialStore {
public:
    // True when a session bus is reachable and a Secret Service answers on it.
    static bool available();

    std::optional<QString> get(const QString& service, const QString& account) override;
    void save(const QString& service, const QString& account, const QString& value) override;
    void remove(const QString& service, const QString& account) override;
    QString kind() const override { return QStringLiteral("Secret Service"); }
};
