#include "fileprovider/FileProviderExtension.h"
#include "fileprovider/KelvaneAPI.h"
#include "fileprovider/ListingCache.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A folder's listing as the server sends it: mostly files with fractional dates and MIME
// types, some folders, a few junk names.
QByteArray serverListing(int count) {
    QJsonArray entries;
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1'714'558'830, Qt::UTC);
    for (int i = 0; i < count; ++i) {
        const bool folder = i % 10 == 0;
        const QString name = i % 500 == 7
                                 ? QStringLiteral("._junk-%1").arg(i)
                                 : QStringLiteral("file-%1.%2").arg(i).arg(folder ? "d" : "txt");
        QJsonObject e{{"name", name},
                      {"type", folder ? "directory" : "file"},
                      {"size", folder ? 0 : 1000 + i},
                      {"modified_at", base.addMSecs(qint64(i) * 1337).toString(Qt::ISODateWithMs)}};
        e.insert("mime_type", folder ? QJsonValue(QJsonValue::Null) : QJsonValue("text/plain"));
        entries.append(e);
    }
    return QJsonDocument(QJsonObject{{"path", "/Team/Big"}, {"entries", entries}})
        .toJson(QJsonDocument::Compact);
}

// The same folder a moment later: one entry in a hundred bigger.
QList<ListingCache::CachedEntry> changedCopy(const QList<Entry>& entries) {
    QList<ListingCache::CachedEntry> current;
    current.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        ListingCache::CachedEntry e = ListingCache::CachedEntry::of(entries[i]);
        if (i % 100 == 0)
            e.size += 1;
        current.append(e);
    }
    return current;
}

// decode → drop unusable and junk names → save the cache → load it → diff.
void BM_ListingPipeline(benchmark::State& state) {
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    const QByteArray body = serverListing(int(state.range(0)));
    qsizetype changed = 0;
    for (auto _ : state) {
        QList<Entry> entries =
            KelvaneAPI::usableEntries(ListResponse::fromJson(body).entries, "/Team/Big");
        entries.removeIf(
            [](const Entry& e) { return FileProviderExtension::isSystemJunk(e.name); });
        ListingCache::save(entries, "1714558830000", "/Team/Big");
        const auto loaded = ListingCache::load("/Team/Big");
        const auto diff = ListingCache::diff(loaded->entries, changedCopy(entries));
        changed = diff.modified.size();
        benchmark::DoNotOptimize(diff);
    }
    state.counters["modified"] = double(changed);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ListingPipeline)
    ->Arg(5'000)
    ->Arg(50'000)
    ->Arg(200'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The steps one by one, for 50,000 entries.
void BM_ListingSteps(benchmark::State& state) {
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    const QByteArray body = serverListing(50'000);
    const QList<Entry> entries = ListResponse::fromJson(body).entries;
    ListingCache::save(entries, "1", "/Team/Big");
    const auto loaded = ListingCache::load("/Team/Big");
    const auto current = changedCopy(entries);
    for (auto _ : state) {
        switch (state.range(0)) {
        case 0:
            benchmark::DoNotOptimize(ListResponse::fromJson(body));
            break;
        case 1:
            ListingCache::save(entries, "1", "/Team/Big");
            break;
        case 2:
            benchmark::DoNotOptimize(ListingCache::load("/Team/Big"));
            break;
        default:
            benchmark::DoNotOptimize(ListingCache::diff(loaded->entries, current));
        }
    }
    static const char* const names[] = {"decode", "save", "load", "diff"};
    state.SetLabel(names[state.range(0)]);
}
BENCHMARK(BM_ListingSteps)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

} // namespace
