#include "platform/CredentialStore.h"

#include "platform/FileCredentialStore.h"
#include "platform/Paths.h"
#include "platform/SecretServiceCredentialStore.h"

std::unique_ptr<CredentialStore> makeCredentialStore() {
    // The bus is asked on first use, on the worker that runs it, never here.
    return std::make_unique<UnifiedCredentialStore>(
        [] { return SecretServiceCredentialStore::presence(); },
        std::make_unique<SecretServiceCredentialStore>(),
        std::make_unique<FileCredentialStore>(Paths::credentialsFile()));
}
