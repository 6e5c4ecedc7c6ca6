#include "app/activity/SyncStatusReader.h"

#include "app/activity/SourceSampler.h"

#include <QCoroFuture>
#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent>

namespace {

// Never destroyed: a read stuck in a hung FUSE daemon must not hold up the program's exit.
QThreadPool* readerPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(4);
        return p;
    }();
    return pool;
}

QFuture<SourceSampler::Snapshot> readInBackground(QString ledgerFile, QStringList statsPaths) {
    return QtConcurrent::run(
        readerPool(), [ledgerFile = std::move(ledgerFile), statsPaths = std::move(statsPaths)] {
            // A failure here must not leave the reader waiting on this round forever.
            try {
                return SourceSampler::read(ledgerFile, statsPaths);
            } catch (...) {
                SourceSampler::Snapshot nothingRead;
                nothingRead.stats.resize(statsPaths.size());
                return nothingRead;
            }
        });
}

QString statsPathFor(QString mountPoint) {
    while (mountPoint.size() > 1 && mountPoint.endsWith('/'))
        mountPoint.chop(1);
    return mountPoint == QLatin1String("/") ? QStringLiteral("/.stats")
                                            : mountPoint + QStringLiteral("/.stats");
}

} // namespace

SyncStatusReader::SyncStatusReader(QObject* parent) : SyncStatusReader(Options{}, parent) {}

SyncStatusReader::SyncStatusReader(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
    if (!options_.clock)
        options_.clock = [] { return std::chrono::steady_clock::now(); };
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

void SyncStatusReader::start() {
    timer_.start(options_.tickInterval);
    tick();
}

void SyncStatusReader::stop() {
    timer_.stop();
}

QString SyncStatusReader::ledgerPath() const {
    // Kept out of the coroutine: GCC 12 destroys a conditional's temporary there twice.
    return options_.ledgerFile.isEmpty() ? SyncStatus::ledgerFile() : options_.ledgerFile;
}

bool SyncStatusReader::isAnyActive() const {
    return !status_.transfers.isEmpty() || status_.activeEnumerations >= 1 || juicefsActive_;
}

SyncStatusReader::Published SyncStatusReader::published() const {
    return {status_,         juicefsActive_,       juicefsDownloading_, juicefsUploading_,
            juicefsStaging_, uploadBacklogBytes(), uploadedThisBurst(), uploadRate(),
            uploadETA()};
}

void SyncStatusReader::setJuicefsMountPaths(const QStringList& mountPaths) {
    const Published before = published();
    QStringList paths;
    for (const QString& mount : mountPaths) {
        if (!mount.isEmpty())
            paths.append(statsPathFor(mount));
    }
    statsPaths_ = paths;
    ++pathsGeneration_;
    lastBlockcacheMissBytes_.removeIf(
        [&paths](const auto& entry) { return !paths.contains(entry.key()); });
    if (paths.isEmpty())
        resetJuicefsFlags();
    if (published() != before)
        emit changed();
}

QCoro::Task<> SyncStatusReader::tick() {
    if (tickRunning_) {
        emit tickFinished();
        co_return;
    }
    tickRunning_ = true;
    QPointer<SyncStatusReader> self(this);
    const quint64 generation = pathsGeneration_;
    const SourceSampler::Snapshot snapshot = co_await readInBackground(ledgerPath(), statsPaths_);
    if (!self)
        co_return;
    tickRunning_ = false;
    const Published before = published();
    applyLedger(snapshot.ledger);
    if (generation == pathsGeneration_)
        applyStats(snapshot.stats);
    if (published() != before)
        emit changed();
    emit tickFinished();
}

void SyncStatusReader::applyLedger(const std::optional<SyncStatus>& ledger) {
    if (ledger)
        status_ = *ledger;
    else if (!status_.isIdle())
        status_ = SyncStatus::empty();
}

void SyncStatusReader::resetJuicefsFlags() {
    juicefsActive_ = false;
    juicefsUploading_ = 0;
    juicefsStaging_ = 0;
    juicefsDownloading_ = false;
    downloadActiveTicks_ = 0;
}

bool SyncStatusReader::updateDownloadHold(bool missBytesGrew) {
    if (missBytesGrew)
        downloadActiveTicks_ = kDownloadHoldTicks;
    else if (downloadActiveTicks_ > 0)
        --downloadActiveTicks_;
    return downloadActiveTicks_ > 0;
}

void SyncStatusReader::applyStats(const QList<std::optional<StatsSample>>& samples) {
    if (statsPaths_.isEmpty())
        return;
    StatsSample totals;
    bool missBytesGrew = false;
    bool anyFileRead = false;
    for (qsizetype i = 0; i < samples.size() && i < statsPaths_.size(); ++i) {
        if (!samples.at(i))
            continue;
        const StatsSample& mount = *samples.at(i);
        totals.accumulate(mount);
        const QString& path = statsPaths_.at(i);
        const auto previous = lastBlockcacheMissBytes_.constFind(path);
        if (previous != lastBlockcacheMissBytes_.cend() && *previous < mount.blockcacheMissBytes)
            missBytesGrew = true;
        lastBlockcacheMissBytes_.insert(path, mount.blockcacheMissBytes);
        anyFileRead = true;
    }
    if (!anyFileRead) {
        if (juicefsActive_)
            resetJuicefsFlags();
        burst_.endBurst();
        return;
    }
    burst_.update(totals.stagingBlockBytes, totals.putBytes, options_.clock());
    const bool downloading = updateDownloadHold(missBytesGrew);
    juicefsActive_ = downloading || totals.uploading >= 1 || totals.stagingBlocks >= 1 ||
                     totals.stagingWritingBlocks >= 1;
    juicefsUploading_ = totals.uploading;
    juicefsStaging_ = totals.stagingBlocks;
    juicefsDownloading_ = downloading;
}
