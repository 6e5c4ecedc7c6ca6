#include "app/activity/StatsParser.h"
#include "app/activity/SyncStatusReader.h"
#include "platform/AtomicFile.h"
#include "shared/WaitForTask.h"

#include <QCoroTask>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// About what JuiceFS 1.3 writes into .stats: some sixty metrics, six of them read.
QByteArray statsText(int seed) {
    QByteArray text;
    for (int i = 0; i < 54; ++i)
        text += "juicefs_other_metric_" + QByteArray::number(i) + ' ' +
                QByteArray::number(i * 1000 + seed) + '\n';
    text += "juicefs_object_request_uploading 2\n"
            "juicefs_staging_blocks 3\n"
            "juicefs_staging_writing_blocks 1\n"
            "juicefs_staging_block_bytes 12582912\n"
            "juicefs_object_request_data_bytes_PUT " +
            QByteArray::number(seed * 4096) +
            "\n"
            "juicefs_blockcache_miss_bytes 1048576\n";
    return text;
}

// One full reader tick (worker reads of the ledger and every .stats file, then the model).
void BM_ReaderTick(benchmark::State& state) {
    QTemporaryDir dir;
    QStringList mounts;
    for (int i = 0; i < state.range(0); ++i) {
        const QString mount = dir.filePath(QStringLiteral("m%1").arg(i));
        QDir().mkpath(mount);
        AtomicFile::write(mount + "/.stats", statsText(i));
        mounts.append(mount);
    }
    SyncStatusReader reader(SyncStatusReader::Options{
        std::chrono::milliseconds(500), {}, dir.filePath("sync-status.json")});
    reader.setJuicefsMountPaths(mounts);
    for (auto _ : state)
        WaitForTask::run(reader.tick());
    benchmark::DoNotOptimize(reader.juicefsStaging());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReaderTick)->Arg(1)->Arg(10)->Arg(50)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Parsing alone, for comparison with the tick.
void BM_ParseStats(benchmark::State& state) {
    const QString text = QString::fromUtf8(statsText(7));
    for (auto _ : state)
        benchmark::DoNotOptimize(StatsParser::parse(text));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_ParseStats);

} // namespace
