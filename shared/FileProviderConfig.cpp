#include "shared/FileProviderConfig.h"

#include "shared/Identifiers.h"
#include "shared/SharedConfigPayload.h"

namespace FileProviderConfig {

QString configFile() {
    return SharedConfigFiles::fileFor(Identifiers::kFileProvider);
}

Target resolve(const QString& path, const QString& file) {
    const auto forAddress = SharedConfigPayload::load(file);
    if (!forAddress || !forAddress->apiURL)
        throw NotConfiguredError();
    const QUrl url(*forAddress->apiURL + path, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        throw NotConfiguredError();
    const auto forToken = SharedConfigPayload::load(file);
    if (!forToken || !forToken->token)
        throw NotConfiguredError();
    return Target{url, *forToken->token};
}

} // namespace FileProviderConfig
