#include "fileprovider/ListingCache.h"

#include "fileprovider/DateText.h"
#include "fileprovider/JsonScanner.h"
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
#include <vector>

namespace ListingCache {

namespace {

// Longest file name most Linux file systems take.
constexpr qsizetype kMaxFileNameBytes = 255;

const QString kCached = QStringLiteral("CachedEntry");
const QString kFile = QStringLiteral("file");
const QString kDirectory = QStringLiteral("directory");

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

CachedEntry readCachedEntry(JsonScanner& s) {
    using Kind = JsonScanner::Kind;
    if (s.peek() != Kind::object)
        throw DecodingError(QStringLiteral("a cached entry is not an object"));
    CachedEntry e;
    bool name = false, type = false, size = false, modified = false;
    s.readObject([&](QByteArrayView key) {
        const auto text = [&](const char* field) {
            const Kind k = s.peek();
            if (k != Kind::string)
                JsonScanner::wrongType(kCached, field, "a string", k);
            return s.readStringBytes();
        };
        if (key == "name") {
            e.name = QString::fromUtf8(text("name"));
            name = true;
        } else if (key == "type") {
            const QByteArray t = text("type");
            e.type = t == "file" ? kFile : t == "directory" ? kDirectory : QString::fromUtf8(t);
            type = true;
        } else if (key == "size") {
            const Kind k = s.peek();
            const auto value = k == Kind::number ? s.readInteger() : std::nullopt;
            if (!value)
                JsonScanner::wrongType(kCached, "size", "a 64-bit integer", k);
            e.size = *value;
            size = true;
        } else if (key == "modifiedAt") {
            const auto msecs = DateText::parse(QByteArrayView(text("modifiedAt")));
            if (!msecs)
                throw DecodingError(QStringLiteral("CachedEntry: \"modifiedAt\" is not a date"));
            e.modifiedAt = QDateTime::fromMSecsSinceEpoch(*msecs, Qt::UTC);
            modified = true;
        } else {
            s.skipValue();
        }
    });
    if (!name)
        JsonScanner::missingKey(kCached, "name");
    if (!type)
        JsonScanner::missingKey(kCached, "type");
    if (!size)
        JsonScanner::missingKey(kCached, "size");
    if (!modified)
        JsonScanner::missingKey(kCached, "modifiedAt");
    return e;
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
    using Kind = JsonScanner::Kind;
    static const QString record = QStringLiteral("CachedListing");
    JsonScanner s(bytes);
    if (s.peek() != Kind::object)
        throw DecodingError(QStringLiteral("expected a JSON object at the top level"));
    CachedListing listing;
    bool token = false, entries = false;
    s.readObject([&](QByteArrayView key) {
        if (key == "token") {
            const Kind k = s.peek();
            if (k != Kind::string)
                JsonScanner::wrongType(record, "token", "a string", k);
            listing.token = s.readString();
            token = true;
        } else if (key == "entries") {
            const Kind k = s.peek();
            if (k != Kind::array)
                JsonScanner::wrongType(record, "entries", "an array", k);
            listing.entries.clear();
            s.readArray([&] { listing.entries.append(readCachedEntry(s)); });
            entries = true;
        } else {
            s.skipValue();
        }
    });
    s.expectEnd();
    if (!token)
        JsonScanner::missingKey(record, "token");
    if (!entries)
        JsonScanner::missingKey(record, "entries");
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
    // One index, of the old listing; each current entry is looked up once and marks what it
    // found, so whatever stays unmarked is gone.
    QHash<QString, qsizetype> before; // name -> index + 1
    before.reserve(old.size());
    std::vector<bool> matched(size_t(old.size()), false);
    for (qsizetype i = 0; i < old.size(); ++i) {
        qsizetype& slot = before[old[i].name];
        if (slot != 0)
            matched[size_t(slot - 1)] = true; // a repeated name: the later entry stands for it
        slot = i + 1;
    }
    Diff result;
    for (const CachedEntry& b : current) {
        const auto was = before.constFind(b.name);
        if (was == before.cend()) {
            result.added.append(b.name);
            continue;
        }
        matched[size_t(*was - 1)] = true;
        const CachedEntry& a = old[*was - 1];
        const qint64 apartMs =
            std::abs(a.modifiedAt.toMSecsSinceEpoch() - b.modifiedAt.toMSecsSinceEpoch());
        if (a.size != b.size || a.type != b.type || apartMs > 1000)
            result.modified.append(b.name);
    }
    for (qsizetype i = 0; i < old.size(); ++i) {
        if (!matched[size_t(i)])
            result.deleted.append(old[i].name);
    }
    return result;
}

} // namespace ListingCache
