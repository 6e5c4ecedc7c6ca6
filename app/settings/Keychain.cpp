#include "app/settings/Keychain.h"

#include "platform/CredentialStore.h"
#include "shared/Identifiers.h"

Keychain::Keychain(CredentialStore& store) : store_(store) {}

std::optional<QString> Keychain::get(const QString& key) const {
    return store_.get(Identifiers::kApp, key);
}

void Keychain::save(const QString& key, const QString& value) {
    store_.save(Identifiers::kApp, key, value);
}

void Keychain::remove(const QString& key) {
    store_.remove(Identifiers::kApp, key);
}

QString Keychain::storeKind() const {
    return store_.kind();
}
