#include "shared/FinderSyncConfig.h"

#include "shared/Identifiers.h"
#include "shared/SharedConfigPayload.h"

namespace FinderSyncConfig {

namespace {

void dropTrailingSlashes(QString& text) {
    while (text.endsWith(QLatin1Char('/')))
        text.chop(1);
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// Trailing slashes would make every item look outside the folder; "/" stays itself.
QString withoutTrailingSlashes(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

QString configFile() {
    return SharedConfigFiles::fileFor(Identifiers::kFinderSync);
}

QString expandTilde(const QString& path, const QString& realHome) {
    if (path == QLatin1String("~"))
        return realHome;
    if (path.startsWith(QLatin1String("~/")))
        return realHome + path.mid(1);
    return path;
}

QString mountBase(const QString& realHome, const QString& file) {
    const auto config = SharedConfigPayload::load(file);
    if (config && config->mountBase && !config->mountBase->isEmpty()) {
        const QString base = withoutTrailingSlashes(expandTilde(*config->mountBase, realHome));
        if (base.startsWith(QLatin1Char('/')) && base != QLatin1String("/"))
            return base;
    }
    return joined(realHome, QStringLiteral("Kelvane"));
}

QStringList mountPaths(const QString& realHome, const QString& file) {
    const auto config = SharedConfigPayload::load(file);
    QStringList paths;
    if (config && config->mountPaths) {
        for (const QString& entry : *config->mountPaths) {
            const QString path = withoutTrailingSlashes(expandTilde(entry, realHome));
            if (path.startsWith(QLatin1Char('/')))
                paths.append(path);
        }
    }
    return paths;
}

std::optional<QString> siteFromApiURL(QString text) {
    dropTrailingSlashes(text);
    if (text.endsWith(QLatin1String("/api"))) {
        text.chop(4);
        // "http://h//api" must not leave "http://h/", which would double the slash of every
        // link made from it.
        dropTrailingSlashes(text);
    }
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

std::optional<QString> siteURL(const QString& file) {
    const auto config = SharedConfigPayload::load(file);
    if (!config || !config->apiURL)
        return std::nullopt;
    return siteFromApiURL(*config->apiURL);
}

} // namespace FinderSyncConfig
