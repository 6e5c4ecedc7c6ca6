#pragma once

#include "platform/CredentialStore.h"
#include "platform/WriteError.h"

#include <QMap>
#include <QPair>
#include <atomic>

// Keychain stand-in for tests that are not about the keychain itself. `unavailable` plays a
// locked keyring, `refuseWrites` one that rejects a write; `reads` counts the lookups.
class InMemoryCredentialStore : public CredentialStore {
public:
    std::optional<QString> get(const QString& service, const QString& account) override {
        ++reads;
        if (unavailable)
            throw CredentialsUnavailable();
        const auto it = items.find({service, account});
        if (it == items.end())
            return std::nullopt;
        return *it;
    }
    void save(const QString& service, const QString& account, const QString& value) override {
        refuseIfAsked();
        items.insert({service, account}, value);
    }
    void remove(const QString& service, const QString& account) override {
        refuseIfAsked();
        items.remove({service, account});
    }
    QString kind() const override { return QStringLiteral("memory"); }

    QMap<QPair<QString, QString>, QString> items;
    std::atomic_bool unavailable = false;
    std::atomic_bool refuseWrites = false;
    std::atomic_int reads = 0;

private:
    void refuseIfAsked() {
        if (unavailable)
            throw CredentialsUnavailable();
        if (refuseWrites)
            throw WriteError(QStringLiteral("the memory store"), QStringLiteral("refused"));
    }
};
