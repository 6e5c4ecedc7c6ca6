#include "fileprovider/ListingCache.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "shared/Identifiers.h"
#include "shared/Iso8601.h"
#include "shared/JsonReader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ListingCache {

namespace {

// Longest file name most Linux file systems take.
constexpr qsizetype kMaxFileNameBytes = 255;

QJsonObject toJson(const CachedEntry& e) {
    return {{"name", e.name},
            {"type", e.type},
            {"size", e.size},
            {"modifiedAt", Iso8601::format(e.modifiedAt)}};
}

CachedEntry entryFromJson(const QJsonValue& value) {
    if (!value.isObject())
        throw DecodingError(QStringLiteral("a cached entry is not an object"));
    const JsonReader r(value.toObject(), QStringLiteral("CachedEntry"));
    const auto modified = Iso8601::parse(r.string("modifiedAt"));
    if (!modified)
        throw DecodingError(QStringLiteral("CachedEntry: \"modifiedAt\" is not a date"));
    return {r.string("name"), r.string("type"), r.int64("size"), *modified};
}

} // namespace

CachedEntry CachedEntry::of(const Entry& entry) {
    return {entry.name, entry.type, entry.size, entry.modifiedAt};
}

QByteArray CachedListing::toJson() const {
    QJsonArray array;
    for (const CachedEntry& e : entries)
        array.append(ListingCache::toJson(e));
    return QJsonDocument(QJsonObject{{"entries", array}, {"token", token}})
        .toJson(QJsonDocument::Compact);
}

CachedListing CachedListing::fromJson(const QByteArray& bytes) {
    const QJsonObject object = JsonReader::parseObject(bytes);
    const JsonReader r(object, QStringLiteral("CachedListing"));
    CachedListing listing;
    listing.token = r.string("token");
    const QJsonValue entries = object.value("entries");
    if (!entries.isArray())
        throw DecodingError(QStringLiteral("CachedListing: \"entries\" is not an array"));
    const QJsonArray array = entries.toArray();
    listing.entries.reserve(array.size());
    for (const QJsonValue& v : array)
        listing.entries.append(entryFromJson(v));
    return listing;
}

QString dir() {
    const QString folder =
        Paths::extensionSupportDir(Identifiers::kFileProvider) + QStringLiteral("/listing-cache");
    QDir().mkpath(folder);
    return folder;
}

QString fileName(const QString& containerPath) {
    QString escaped = containerPath;
    escaped.replace('%', QLatin1String("%25")).replace('_', QLatin1String("%5F"));
    escaped.replace('/', '_');
    const QString name = QStringLiteral("listing-") + escaped + QStringLiteral(".json");
    if (name.toUtf8().size() <= kMaxFileNameBytes)
        return name;
    const QByteArray digest =
        QCryptographicHash::hash(containerPath.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("listing-sha256-") + QString::fromLatin1(digest) +
           QStringLiteral(".json");
}

QString fileFor(const QString& containerPath) {
    return dir() + '/' + fileName(containerPath);
}

void save(const QList<Entry>& entries, const QString& token, const QString& containerPath) {
    CachedListing listing;
    listing.token = token;
    listing.entries.reserve(entries.size());
    for (const Entry& e : entries)
        listing.entries.append(CachedEntry::of(e));
    AtomicFile::write(fileFor(containerPath), listing.toJson());
}

std::optional<CachedListing> load(const QString& containerPath) {
    return loadJsonFile<CachedListing>(fileFor(containerPath));
}

Diff diff(const QList<CachedEntry>& old, const QList<CachedEntry>& current) {
    QHash<QString, const CachedEntry*> before;
    before.reserve(old.size());
    for (const CachedEntry& e : old)
        before.insert(e.name, &e); // a repeated name: the later entry wins, as in a dictionary
    QHash<QString, const CachedEntry*> now;
    now.reserve(current.size());
    for (const CachedEntry& e : current)
        now.insert(e.name, &e);

    Diff result;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!now.contains(it.key()))
            result.deleted.append(it.key());
    }
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        const auto was = before.constFind(it.key());
        if (was == before.cend()) {
            result.added.append(it.key());
            continue;
        }
        const CachedEntry& a = **was;
        const CachedEntry& b = **it;
        const qint64 apartMs =
            std::abs(a.modifiedAt.toMSecsSinceEpoch() - b.modifiedAt.toMSecsSinceEpoch());
        if (a.size != b.size || a.type != b.type || apartMs > 1000)
            result.modified.append(it.key());
    }
    return result;
}

} // namespace ListingCache
