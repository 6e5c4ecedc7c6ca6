#include "app/activity/SyncStatusReader.h"

#include "app/activity/SourceSampler.h"

#include <QCoroFuture>
#include <QPointer>
#include <QPromise>
#include <QThreadPool>
#include <QTimer>
#include <mutex>

namespace {

// Never destroyed: a read stuck in a hung FUSE daemon must not hold up the program's exit. At
// most one thread per source can be stuck, so the pool has room for many drives.
QThreadPool* readerPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(64);
        return p;
    }();
    return pool;
}

// The results of one round; late reads (past the round's limit) find it closed.
struct Round {
    std::mutex lock;
    QPromise<void> done;
    int pending = 0;
    bool closed = false;
    std::optional<std::optional<SyncStatus>> ledger;
    QList<std::optional<SourceSampler::StatsRead>> stats;

    explicit Round(qsizetype statsCount) : stats(statsCount) { done.start(); }
    void settleOne() {
        if (--pending == 0 && !closed) {
            closed = true;
            done.finish();
        }
    }
    void close() {
        std::lock_guard guard(lock);
        if (closed)
            return;
        closed = true;
        done.finish();
    }
};

template <typename Read>
void startRead(std::shared_ptr<Round> round, std::shared_ptr<std::atomic<bool>> busy, Read read) {
    busy->store(true);
    {
        std::lock_guard guard(round->lock);
        ++round->pending;
    }
    readerPool()->start([round, busy, read = std::move(read)] {
        // A failure here must not leave the round waiting for this source.
        try {
            read(*round);
        } catch (...) {
        }
        busy->store(false);
        std::lock_guard guard(round->lock);
        round->settleOne();
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
    mountPoints_.clear();
    for (const QString& mount : mountPaths) {
        if (!mount.isEmpty())
            mountPoints_.append(mount);
    }
    ++pathsGeneration_;
    lastSamples_.removeIf([&paths](const auto& entry) { return !paths.contains(entry.key()); });
    lastBlockcacheMissBytes_.removeIf(
        [&paths](const auto& entry) { return !paths.contains(entry.key()); });
    if (paths.isEmpty())
        resetJuicefsFlags();
    if (published() != before)
        emit changed();
}

std::shared_ptr<std::atomic<bool>> SyncStatusReader::busyFlag(const QString& source) {
    auto& flag = busy_[source];
    if (!flag)
        flag = std::make_shared<std::atomic<bool>>(false);
    return flag;
}

int SyncStatusReader::blockedSources() const {
    int blocked = 0;
    for (const auto& flag : busy_)
        blocked += flag->load() ? 1 : 0;
    return blocked;
}

QCoro::Task<> SyncStatusReader::tick() {
    if (tickRunning_) {
        emit tickFinished();
        co_return;
    }
    tickRunning_ = true;
    QPointer<SyncStatusReader> self(this);
    const quint64 generation = pathsGeneration_;
    const QStringList paths = statsPaths_;
    const QStringList mountPoints = mountPoints_;
    auto round = std::make_shared<Round>(paths.size());
    {
        std::lock_guard guard(round->lock);
        ++round->pending; // held until every read has been started
    }
    if (auto flag = busyFlag(QString()); !flag->load())
        startRead(round, flag, [ledger = ledgerPath()](Round& r) {
            auto status = SourceSampler::readLedger(ledger);
            std::lock_guard guard(r.lock);
            r.ledger = std::move(status);
        });
    for (qsizetype i = 0; i < paths.size(); ++i) {
        auto flag = busyFlag(paths.at(i));
        if (flag->load())
            continue; // still stuck in its previous read
        startRead(round, flag, [path = paths.at(i), i](Round& r) {
            auto read = SourceSampler::readStats(path);
            std::lock_guard guard(r.lock);
            r.stats[i] = std::move(read);
        });
    }
    {
        std::lock_guard guard(round->lock);
        round->settleOne();
    }
    QObject limit;
    QTimer::singleShot(options_.readLimit, &limit, [round] { round->close(); });
    QFuture<void> answered = round->done.future();
    co_await answered;
    if (!self)
        co_return;
    tickRunning_ = false;
    std::optional<std::optional<SyncStatus>> ledger;
    QList<std::optional<SourceSampler::StatsRead>> reads;
    {
        std::lock_guard guard(round->lock);
        ledger = round->ledger;
        reads = round->stats;
    }
    const Published before = published();
    if (ledger)
        applyLedger(*ledger);
    if (generation == pathsGeneration_) {
        QList<std::optional<StatsSample>> samples;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const auto& read = reads.at(i);
            if (!read || SourceSampler::isDriveFailure(read->openError))
                emit mountUnreachable(mountPoints.at(i));
            if (read && read->sample)
                lastSamples_.insert(paths.at(i), *read->sample);
            else if (read)
                lastSamples_.remove(paths.at(i));
            // A source that has not answered keeps its last values.
            std::optional<StatsSample> sample;
            if (read)
                sample = read->sample;
            else if (const auto last = lastSamples_.constFind(paths.at(i));
                     last != lastSamples_.cend())
                sample = *last;
            samples.append(sample);
        }
        applyStats(samples);
    }
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
