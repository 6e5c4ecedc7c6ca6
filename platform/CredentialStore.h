#pragma once

#include "shared/KelvaneError.h"

#include <QString>
#include <memory>
#include <optional>

// A keyring that exists but cannot answer now: locked, waiting on an unlock prompt, or too
// slow. Not the same as "nothing stored": nobody signs out or falls back to a file on it.
class CredentialsUnavailable : public KelvaneError {
public:
    QString description() const override {
        return QStringLiteral("The keyring is locked or not answering; unlock it and try again.");
    }
};

// A per-user secret store keyed by (service, account). Every operation may block (D-Bus, a
// file): call it from a worker thread. get() yields nothing only when nothing is stored;
// failures throw CredentialsUnavailable or WriteError (platform/WriteError.h).
class CredentialStore {
public:
    virtual ~CredentialStore() = default;
    virtual std::optional<QString> get(const QString& service, const QString& account) = 0;
    virtual void save(const QString& service, const QString& account, const QString& value) = 0;
    virtual void remove(const QString& service, const QString& account) = 0;
    // Short human name for status output ("Secret Service", "file").
    virtual QString kind() const = 0;
};

// The store every Kelvane program uses (see UnifiedCredentialStore): the Secret Service
// whenever one exists on the session bus, the owner-only file only where none does.
std::unique_ptr<CredentialStore> makeCredentialStore();
