#include "app/settings/SharedConfig.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "shared/Identifiers.h"

#include <QDir>
#include <QFile>

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

std::optional<WriteError> publish(const std::optional<QString>& apiURL,
                                  const std::optional<QString>& token,
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
    return save(payload);
}

std::optional<WriteError> setToken(const std::optional<QString>& token) {
    SharedConfigPayload payload = current();
    payload.token = token;
    return save(payload);
}

std::optional<WriteError> setApiURL(const std::optional<QString>& apiURL) {
    SharedConfigPayload payload = current();
    payload.apiURL = apiURL;
    return save(payload);
}

std::optional<WriteError> save(const SharedConfigPayload& payload) {
    const QByteArray bytes = payload.toJson();
    std::optional<WriteError> firstFailure;
    for (const QString& file : configFiles()) {
        QString reason;
        if (!AtomicFile::write(file, bytes, AtomicFile::Mode::OwnerOnly, &reason) && !firstFailure)
            firstFailure.emplace(file, reason);
    }
    return firstFailure;
}

static std::optional<QByteArray> bytesOf(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

Snapshot snapshot() {
    Snapshot s;
    for (const QString& file : configFiles())
        s.files.append(bytesOf(file));
    return s;
}

std::optional<WriteError> restore(const Snapshot& before) {
    const QStringList files = configFiles();
    std::optional<WriteError> firstFailure;
    for (qsizetype i = 0; i < files.size() && i < before.files.size(); ++i) {
        const std::optional<QByteArray>& old = before.files[i];
        if (bytesOf(files[i]) == old)
            continue;
        QString reason;
        bool restored = false;
        if (old) {
            restored = AtomicFile::write(files[i], *old, AtomicFile::Mode::OwnerOnly, &reason);
        } else {
            QFile f(files[i]);
            restored = f.remove();
            reason = f.errorString();
        }
        if (!restored && !firstFailure)
            firstFailure.emplace(files[i], reason);
    }
    return firstFailure;
}

} // namespace SharedConfig
