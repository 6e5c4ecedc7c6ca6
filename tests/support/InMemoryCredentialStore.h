#pragma once

#include "platform/CredentialStore.h"

#include <QMap>
#include <QPair>

// Keychain stand-in for tests that are not about the keychain itself.
class InMemoryCredentialStore : public CredentialStore {
public:
    std::optional<QString> get(const QString& service, const QString& account) override {
        const auto it = items.find({service, account});
        if (it == items.end())
            return std::nullopt;
        return *it;
    }
    void save(const QString& service, const QString& account, const QString& value) override {
        items.insert({service, account}, value);
    }
    void remove(const QString& service, const QString& account) override {
        items.remove({service, account});
    }
    QString kind() const override { return QStringLiteral("memory"); }

    QMap<QPair<QString, QString>, QString> items;
};
