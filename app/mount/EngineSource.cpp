#include "app/mount/EngineSource.h"

#ifdef KELVANE_HAVE_ENGINE_PIN
#include "mount/EnginePin.h"

EngineSource EngineSource::pinned() {
    return {QString::fromUtf8(EnginePin::kVersion), QString::fromUtf8(EnginePin::kArchiveName),
            QString::fromUtf8(EnginePin::kDownloadBase), QString::fromUtf8(EnginePin::kSha256)};
}
#else
// Without a pinned checksum nothing downloaded can match, so nothing gets installed.
EngineSource EngineSource::pinned() {
    return {QStringLiteral("1.3.1"), QStringLiteral("juicefs-1.3.1-linux-amd64.tar.gz"), QString(),
            QString()};
}
#endif
