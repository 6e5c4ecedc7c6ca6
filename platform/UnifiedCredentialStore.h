#pragma once

#include "platform/CredentialStore.h"

#include <atomic>
#include <functional>
#include <mutex>

// The one rule every program follows, so a sign-in in one process is what the others read:
// - a Secret Service exists on the session bus: secrets live there; one found in the file is
//   moved into it and removed from the file;
// - none exists: the owner-only file;
// - the bus cannot tell, or the keyring is locked or slow: CredentialsUnavailable, never the
//   file (that would leave two copies that disagree);
// - remove() clears both, so no valid secret stays behind in either.
// Operations are serialised; the bus is asked once and its answer kept.
class UnifiedCredentialStore : public CredentialStore {
public:
    enum class Presence { none, present, unknown };
    using Probe = std::function<Presence()>;

    UnifiedCredentialStore(Probe probe, std::unique_ptr<CredentialStore> keyring,
                           std::unique_ptr<CredentialStore> file);

    std::optional<QString> get(const QString& service, const QString& account) override;
    void save(const QString& service, const QString& account, const QString& value) override;
    void remove(const QString& service, const QString& account) override;
    // The store in use, or "unknown" before the bus has answered.
    QString kind() const override;

private:
    // The keyring when one exists, null for the file; throws CredentialsUnavailable.
    CredentialStore* keyring();
    std::optional<QString> moveFromFile(CredentialStore& keyring, const QString& service,
                                        const QString& account,
                                        const std::optional<QString>& inKeyring);

    Probe probe_;
    std::unique_ptr<CredentialStore> keyring_;
    std::unique_ptr<CredentialStore> file_;
    std::mutex mutex_;
    std::atomic<Presence> presence_{Presence::unknown};
};
