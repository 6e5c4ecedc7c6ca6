#include "platform/UnifiedCredentialStore.h"

#include "platform/Logging.h"
#include "platform/WriteError.h"

UnifiedCredentialStore::UnifiedCredentialStore(Probe probe,
                                               std::unique_ptr<CredentialStore> keyring,
                                               std::unique_ptr<CredentialStore> file)
    : probe_(std::move(probe)), keyring_(std::move(keyring)), file_(std::move(file)) {}

CredentialStore* UnifiedCredentialStore::keyring() {
    if (presence_ == Presence::unknown) {
        const Presence answer = probe_();
        if (answer == Presence::unknown)
            throw CredentialsUnavailable();
        presence_ = answer;
        qCDebug(lcPlatform) << "credential store:" << kind();
    }
    return presence_ == Presence::present ? keyring_.get() : nullptr;
}

QString UnifiedCredentialStore::kind() const {
    switch (presence_.load()) {
    case Presence::present:
        return keyring_->kind();
    case Presence::none:
        return file_->kind();
    case Presence::unknown:
        break;
    }
    return QStringLiteral("unknown");
}

std::optional<QString>
UnifiedCredentialStore::moveFromFile(CredentialStore& keyring, const QString& service,
                                     const QString& account,
                                     const std::optional<QString>& inKeyring) {
    const std::optional<QString> inFile = file_->get(service, account);
    if (!inFile)
        return inKeyring;
    if (!inKeyring) {
        try {
            keyring.save(service, account, *inFile);
        } catch (const KelvaneError& e) {
            // Still a valid secret: use it, and try the move again next time.
            qCWarning(lcPlatform).noquote()
                << "could not move a secret from the credentials file into the keyring:"
                << e.description();
            return inFile;
        }
    }
    try {
        file_->remove(service, account);
    } catch (const KelvaneError& e) {
        qCWarning(lcPlatform).noquote()
            << "a copy of a secret stays in the credentials file:" << e.description();
    }
    return inKeyring ? inKeyring : inFile;
}

std::optional<QString> UnifiedCredentialStore::get(const QString& service, const QString& account) {
    const std::lock_guard lock(mutex_);
    CredentialStore* store = keyring();
    if (!store)
        return file_->get(service, account);
    return moveFromFile(*store, service, account, store->get(service, account));
}

void UnifiedCredentialStore::save(const QString& service, const QString& account,
                                  const QString& value) {
    const std::lock_guard lock(mutex_);
    CredentialStore* store = keyring();
    if (!store) {
        file_->save(service, account, value);
        return;
    }
    store->save(service, account, value);
    // An older secret left in the file would come back if the keyring item were removed.
    try {
        file_->remove(service, account);
    } catch (const KelvaneError& e) {
        qCWarning(lcPlatform).noquote()
            << "an older secret stays in the credentials file:" << e.description();
    }
}

void UnifiedCredentialStore::remove(const QString& service, const QString& account) {
    const std::lock_guard lock(mutex_);
    // The file is cleared even when the keyring cannot be reached: each copy removed counts.
    std::exception_ptr keyringFailure;
    try {
        if (CredentialStore* store = keyring())
            store->remove(service, account);
    } catch (const KelvaneError&) {
        keyringFailure = std::current_exception();
    }
    file_->remove(service, account);
    if (keyringFailure)
        std::rethrow_exception(keyringFailure);
}
