#include "fileprovider/ListingCache.h"

#include "fileprovider/DateText.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "shared/Identifiers.h"
#include "shared/JsonReader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <limits>

namespace ListingCache {

namespace {

// Longest file name most Linux file systems take.
constexpr qsizetype kMaxFileNameBytes = 255;

const QString kCached = QStringLiteral("CachedEntry");
const QString kName = QStringLiteral("name");
const QString kType = QStringLiteral("type");
const QString kSize = QStringLiteral("size");
const QString kModifiedAt = QStringLiteral("modifiedAt");

// A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
void appendString(QByteArray& out, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    out.append('"');
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.append('\\').append(c);
        } else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            const char escape[] = {'\\', 'u', '0', '0', hex[u >> 4], hex[u & 15]};
            out.append(escape, sizeof escape);
        } else {
            out.append(c);
        }
    }
    out.append('"');
}

void appendEntry(QByteArray& out, const CachedEntry& e) {
    out.append("{\"name\":");
    appendString(out, e.name);
    out.append(",\"type\":");
    appendString(out, e.type);
    out.append(",\"size\":").append(QByteArray::number(e.size));
    out.append(",\"modifiedAt\":\"");
    DateText::appendSeconds(out, e.modifiedAt.toMSecsSinceEpoch());
    out.append("\"}");
}

CachedEntry entryFromJson(const QJsonValue& value) {
    if (!value.isObject())
        throw DecodingError(QStringLiteral("a cached entry is not an object"));
    const QJsonObject o = value.toObject();
    const QJsonValue name = o.value(kName), type = o.value(kType), size = o.value(kSize),
                     modified = o.value(kModifiedAt);
    constexpr qint64 sentinel = std::numeric_limits<qint64>::min();
    const qint64 bytes = size.toInteger(sentinel);
    if (!name.isString() || !type.isString() || bytes == sentinel || !modified.isString()) {
        // The general reader names what is wrong.
        const JsonReader r(o, kCached);
        r.string(kName);
        r.string(kType);
        r.int64(kSize);
        r.string(kModifiedAt);
    }
    const auto msecs = DateText::parse(modified.toString());
    if (!msecs)
        throw DecodingError(QStringLiteral("CachedEntry: \"modifiedAt\" is not a date"));
    return {name.toString(), type.toString(), bytes,
            QDateTime::fromMSecsSinceEpoch(*msecs, Qt::UTC)};
}

} // namespace

CachedEntry CachedEntry::of(const Entry& entry) {
    return {entry.name, entry.type, entry.size, entry.modifiedAt};
}

QByteArray CachedListing::toJson() const {
    QByteArray out;
    out.reserve(32 + entries.size() * 96);
    out.append("{\"entries\":[");
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (i > 0)
            out.append(',');
        appendEntry(out, entries[i]);
    }
    out.append("],\"token\":");
    appendString(out, token);
    out.append('}');
    return out;
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
