#include "platform/CredentialStore.h"

#include "platform/FileCredentialStore.h"
#include "platform/Logging.h"
#include "platform/Paths.h"
#include "platform/SecretServiceCredentialStore.h"

std::unique_ptr<CredentialStore> makeCredentialStore() {
    if (SecretServiceCredentialStore::available())
        return std::make_unique<SecretServiceCredentialStore>();
    qCDebug(lcPlatform) << "no Secret Service answered; using the owner-only credentials file";
    return std::make_unique<FileCredentialStore>(Paths::credentialsFile());
}
