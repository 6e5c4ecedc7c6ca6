#include "app/settings/SharedConfig.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "shared/Identifiers.h"

#include <QDir>

namespace SharedConfig {

QStringList configFiles() {
    QStringList files;
    for (const QString& id : {Identifiers::kFileProvider, Identifiers::kFinderSync}) {
        QDir().mkpath(Paths::extensionSupportDir(id));
        files.append(SharedConfigFiles::fileFor(id));
    }
    return files;
}

SharedConfigPayload current() {
    for (const QString& file : configFiles())
        if (auto payload = SharedConfigPayload::load(file))
            return *payload;
    return {};
}

static bool given(const std::optional<QString>& v) {
    return v && !v->isEmpty();
}

void publish(const std::optional<QString>& apiURL, const std::optional<QString>& token,
             const std::optional<QString>& mountBase,
             const std::optional<QStringList>& mountPaths) {
    SharedConfigPayload payload = current();
    if (given(apiURL))
        payload.apiURL = apiURL;
    if (given(token))
        payload.token = token;
    if (given(mountBase))
        payload.mountBase = mountBase;
    if (mountPaths && !mountPaths->isEmpty())
        payload.mountPaths = mountPaths;
    save(payload);
}

void setToken(const std::optional<QString>& token) {
    SharedConfigPayload payload = current();
    payload.token = token;
    save(payload);
}

void setApiURL(const std::optional<QString>& apiURL) {
    SharedConfigPayload payload = current();
    payload.apiURL = apiURL;
    save(payload);
}

void save(const SharedConfigPayload& payload) {
    const QByteArray bytes = payload.toJson();
    for (const QString& file : configFiles())
        AtomicFile::write(file, bytes, AtomicFile::Mode::OwnerOnly);
}

} // namespace SharedConfig
