#include "app/mount/EngineInstaller.h"
#include "app/mount/MountManager.h"
#include "platform/MountTable.h"
#include "platform/UserDefaults.h"
#include "shared/WaitForTask.h"

#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <benchmark/benchmark.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Runs the event loop until the condition holds, checking every millisecond.
void spinUntil(const std::function<bool()>& condition) {
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    tick.start(1);
    if (!condition())
        loop.exec();
}

// From the moment the kernel lists the dev engine's drive to the moment the manager publishes
// it as mounted, for the poll tick given in milliseconds. A watcher thread reads the mount
// table every millisecond to catch the attach.
void BM_AttachToMounted(benchmark::State& state) {
#ifndef KELVANE_DEVENGINE_PATH
    state.SkipWithError("built without the dev engine");
    return;
#else
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        state.SkipWithError("/dev/fuse is not available");
        return;
    }
    QTemporaryDir home;
    const QByteArray previousHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    QDir().mkpath(home.filePath(".kelvane/bin"));
    QFile::link(KELVANE_DEVENGINE_PATH, EngineInstaller::installLocation());
    QDir().mkpath(home.filePath("volume"));

    UserDefaults defaults(home.filePath("defaults.conf"));
    QNetworkAccessManager network;
    MountOptions options;
    options.pollTick = std::chrono::milliseconds(state.range(0));
    options.systemEngineLocations = {};
    MountManager manager(defaults, network, nullptr, EngineSource::pinned(), options);
    const Filespace volume{"fs-bench", "Bench", "file://" + home.filePath("volume"), "bench",
                           "Bench"};
    const QString base = home.filePath("drives");
    const QString drive = base + "/Bench";

    for (auto _ : state) {
        std::atomic<qint64> attachedAt{-1};
        std::atomic<bool> stop{false};
        QElapsedTimer clock;
        clock.start();
        std::thread watcher([&] {
            while (!stop && attachedAt < 0) {
                if (MountTable::isJuicefsMounted(drive, MountTable::read()))
                    attachedAt = clock.nsecsElapsed();
                std::this_thread::sleep_for(1ms);
            }
        });
        WaitForTask::run(manager.mount(volume, base, home.filePath("cache"), 64, {}));
        spinUntil([&] {
            return manager.mountStates().value(volume.id).kind() !=
                   DirectMountState::Kind::mounting;
        });
        const qint64 publishedAt = clock.nsecsElapsed();
        stop = true;
        watcher.join();
        if (!manager.mountStates().value(volume.id).isMounted() || attachedAt < 0) {
            state.SkipWithError("the drive did not attach");
            break;
        }
        state.SetIterationTime(double(publishedAt - attachedAt) / 1e9);
        WaitForTask::run(manager.unmount(volume, base));
    }
    qputenv("HOME", previousHome);
#endif
}
BENCHMARK(BM_AttachToMounted)
    ->Arg(1000)
    ->Arg(100)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
