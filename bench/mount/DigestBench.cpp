#include "app/mount/FileDigest.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// An engine-sized archive stand-in: incompressible-looking bytes, state.range(0) MiB.
QString makeFile(QTemporaryDir& dir, qint64 mebibytes) {
    const QString path = dir.filePath("archive.tar.gz");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (qint64 m = 0; m < mebibytes; ++m) {
        for (char& c : block) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = char(x);
        }
        file.write(block);
    }
    return path;
}

// The installer's check: OpenSSL EVP over the file.
void BM_EngineArchiveSha256(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = makeFile(dir, state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(FileDigest::sha256(path));
    state.SetBytesProcessed(state.iterations() * state.range(0) * (1 << 20));
}
BENCHMARK(BM_EngineArchiveSha256)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same file through coreutils' sha256sum, process start included.
void BM_Sha256sumTool(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = makeFile(dir, state.range(0));
    for (auto _ : state) {
        QProcess tool;
        tool.start("/usr/bin/sha256sum", {path});
        tool.waitForFinished(-1);
        benchmark::DoNotOptimize(tool.readAllStandardOutput());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * (1 << 20));
}
BENCHMARK(BM_Sha256sumTool)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
