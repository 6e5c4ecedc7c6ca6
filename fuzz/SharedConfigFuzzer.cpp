// config.json as the application writes it and both extensions read it.
#include "fuzz/FuzzInput.h"
#include "shared/FileProviderConfig.h"
#include "shared/FinderSyncConfig.h"
#include "shared/JsonReader.h"
#include "shared/SharedConfigPayload.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = FuzzInput::bytes(data, size);
    try {
        const SharedConfigPayload payload = SharedConfigPayload::fromJson(bytes);
        FuzzInput::require(SharedConfigPayload::fromJson(payload.toJson()) == payload,
                           "a decoded config.json survives its own JSON");
    } catch (const DecodingError&) {
    }
    const QString file = FuzzInput::fileHolding(bytes);
    try {
        FileProviderConfig::resolve(QStringLiteral("/files?path=%2F"), file);
    } catch (const NotConfiguredError&) {
    }
    FinderSyncConfig::mountBase(file);
    FinderSyncConfig::mountPaths(file);
    FinderSyncConfig::siteURL(file);
    return 0;
}
