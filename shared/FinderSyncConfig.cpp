#include "shared/FinderSyncConfig.h"

#include "platform/Paths.h"
#include "shared/Identifiers.h"
#include "shared/SharedConfigPayload.h"

namespace FinderSyncConfig {

QString configFile() {
    return SharedConfigFiles::fileFor(Identifiers::kFinderSync);
}

QString expandTilde(const QString& path) {
    if (path == QLatin1String("~"))
        return Paths::home();
    if (path.startsWith(QLatin1String("~/")))
        return Paths::home() + path.mid(1);
    return path;
}

QString mountBase(const QString& file) {
    const auto config = SharedConfigPayload::load(file);
    if (config && config->mountBase && !config->mountBase->isEmpty())
        return expandTilde(*config->mountBase);
    return Paths::defaultMountBase();
}

QStringList mountPaths(const QString& file) {
    const auto config = SharedConfigPayload::load(file);
    QStringList paths;
    if (config && config->mountPaths)
        for (const QString& p : *config->mountPaths)
            paths.append(expandTilde(p));
    return paths;
}

std::optional<QString> siteURL(const QString& file) {
    const auto config = SharedConfigPayload::load(file);
    if (!config || !config->apiURL || config->apiURL->isEmpty())
        return std::nullopt;
    QString text = *config->apiURL;
    while (text.endsWith('/'))
        text.chop(1);
    if (text.endsWith(QLatin1String("/api")))
        text.chop(4);
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

} // namespace FinderSyncConfig
