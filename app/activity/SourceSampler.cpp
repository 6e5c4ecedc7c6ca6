#include "app/activity/SourceSampler.h"

#include "app/activity/StatsParser.h"

#include <QFile>
#include <QStringDecoder>

std::optional<StatsSample> SourceSampler::readStats(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Virtual files report no size and may answer in pieces: read until the end, stopping one
    // byte past the limit.
    QByteArray bytes;
    while (bytes.size() <= kMaxStatsBytes) {
        const QByteArray piece = file.read(kMaxStatsBytes + 1 - bytes.size());
        if (piece.isEmpty())
            break;
        bytes += piece;
    }
    if (bytes.size() > kMaxStatsBytes || file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return StatsParser::parse(text);
}

SourceSampler::Snapshot SourceSampler::read(const QString& ledgerFile,
                                            const QStringList& statsPaths) {
    Snapshot snapshot;
    snapshot.ledger = SyncStatus::load(ledgerFile);
    snapshot.stats.reserve(statsPaths.size());
    for (const QString& path : statsPaths)
        snapshot.stats.append(readStats(path));
    return snapshot;
}
