#pragma once

#include "platform/UnifiedCredentialStore.h"

#include <chrono>

// The desktop keyring (GNOME Keyring, KWallet) through libsecret. Items carry the attributes
// "service" and "account" and go to the default collection. Every call runs on its own thread
// with a deadline (CancellableCall); a locked keyring, an unanswered prompt or a service that
// does not answer in time throws CredentialsUnavailable. Reads never prompt: a locked item is
// "unavailable", not "absent".
class SecretServiceCredentialStore : public CredentialStore {
public:
    static constexpr std::chrono::milliseconds kDeadline{5000};

    explicit SecretServiceCredentialStore(std::chrono::milliseconds deadline = kDeadline);

    // Whether a Secret Service exists on the session bus: the name has an owner, or the bus
    // can start one for it. `unknown` when the bus does not answer in time.
    static UnifiedCredentialStore::Presence
    presence(std::chrono::milliseconds deadline = kDeadline);

    std::optional<QString> get(const QString& service, const QString& account) override;
    void save(const QString& service, const QString& account, const QString& value) override;
    void remove(const QString& service, const QString& account) override;
    QString kind() const override { return QStringLiteral("Secret Service"); }

private:
    std::chrono::milliseconds deadline_;
};
