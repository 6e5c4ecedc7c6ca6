#include "fileprovider/PinStore.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "shared/Identifiers.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <algorithm>
#include <mutex>
#include <shared_mutex>

namespace PinStore {

namespace {

std::shared_mutex& access() {
    static std::shared_mutex mutex;
    return mutex;
}

// The pinned paths, or nothing when the file is missing or not an array of strings.
QSet<QString> read() {
    QFile f(pinFile());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return {};
    QSet<QString> paths;
    for (const QJsonValue& v : doc.array()) {
        if (!v.isString())
            return {};
        paths.insert(v.toString());
    }
    return paths;
}

void save(const QSet<QString>& paths) {
    QStringList sorted(paths.begin(), paths.end());
    std::sort(sorted.begin(), sorted.end());
    AtomicFile::write(
        pinFile(),
        QJsonDocument(QJsonArray::fromStringList(sorted)).toJson(QJsonDocument::Compact));
}

} // namespace

QString configDir() {
    const QString dir = Paths::extensionSupportDir(Identifiers::kFileProvider);
    QDir().mkpath(dir);
    return dir;
}

QString pinFile() {
    return configDir() + QStringLiteral("/pinned.json");
}

bool isPinned(const QString& path) {
    std::shared_lock lock(access());
    return read().contains(path);
}

QStringList pinnedPaths() {
    std::shared_lock lock(access());
    const QSet<QString> paths = read();
    QStringList sorted(paths.begin(), paths.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

void setPinned(bool pinned, const QString& path) {
    std::unique_lock lock(access());
    QSet<QString> paths = read();
    if (pinned)
        paths.insert(path);
    else
        paths.remove(path);
    save(paths);
}

} // namespace PinStore
