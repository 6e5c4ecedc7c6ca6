#pragma once

#include <QString>
#include <memory>
#include <optional>

// A per-user secret store keyed by (service, account). Failures are silent: a secret that
// cannot be read is simply absent.
class CredentialStore {
public:
    virtual ~CredentialStore() = default;
    virtual std::optional<QString> get(const QString& service, const QString& account) = 0;
    virtual void save(const QString& service, const QString& account, const QString& value) = 0;
    virtual void remove(const QString& service, const QString& account) = 0;
    // Short human name for status output ("Secret Service", "file").
    virtual QString kind() const = 0;
};

// The desktop's Secret Service when one answers, else the owner-only file store.
std::unique_ptr<CredentialStore> makeCredentialStore();
