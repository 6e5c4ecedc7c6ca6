// What the tray costs: the Kelvane process's CPU while the helm turns at 30 frames a second
// through a real StatusNotifierItem host on a private session bus (and the bytes each frame
// puts on the bus), the same with the helm at rest, and the throughput of a 1 GiB copy into a
// drive with the tray turning against the same copy with no tray (a headless run).
//   tray_bench [--seconds N] [--copy-mib M]
#include "app/views/tests/support/DesktopProcesses.h"
#include "app/views/tests/support/SniHost.h"
#include "app/views/tests/support/TrayRun.h"
#include "platform/AtomicFile.h"
#include "shared/SyncStatus.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

double cpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the whole line, 12 and 13 after the name.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
}

void writeLedger(bool busy) {
    SyncStatus status = SyncStatus::empty();
    status.updatedAt = QDateTime::currentDateTimeUtc();
    if (busy)
        status.transfers.append({"t1", "/Team/big.bin", 10, 100, SyncTransfer::Direction::upload,
                                 QDateTime::currentDateTimeUtc()});
    AtomicFile::write(SyncStatus::ledgerFile(), status.toJson());
}

void idleFor(std::chrono::milliseconds span) {
    waitUntil([] { return false; }, span);
}

struct Window {
    double appCpu = 0;
    double busCpu = 0;
    int frames = 0;
    qint64 bytes = 0;
    double seconds = 0;
};

Window measure(const TrayRun& kelvane, const SniHost& host, qint64 busPid, int seconds) {
    const double app0 = cpuSeconds(kelvane.pid()), bus0 = cpuSeconds(busPid);
    const int frames0 = host.newIconSignals();
    const qsizetype received0 = host.frames().size();
    QElapsedTimer clock;
    clock.start();
    idleFor(std::chrono::seconds(seconds));
    Window w;
    w.seconds = clock.elapsed() / 1000.0;
    w.appCpu = cpuSeconds(kelvane.pid()) - app0;
    w.busCpu = cpuSeconds(busPid) - bus0;
    w.frames = host.newIconSignals() - frames0;
    for (qsizetype i = received0; i < host.frames().size(); ++i)
        w.bytes += host.frames()[i].payloadBytes;
    return w;
}

void report(const char* what, const Window& w) {
    std::printf("%-28s %6.1f s  app CPU %6.3f s (%5.2f %% of a core)  frames %5d (%5.1f/s)  "
                "bus bytes/frame %6lld  dbus-daemon CPU %5.2f %%\n",
                what, w.seconds, w.appCpu, 100 * w.appCpu / w.seconds, w.frames,
                w.frames / w.seconds, w.frames ? (long long)(w.bytes / w.frames) : 0LL,
                100 * w.busCpu / w.seconds);
}

// Writes size MiB into the file and syncs it; MiB per second.
double copyInto(const QString& path, int mib) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return 0;
    const QByteArray chunk(1 << 20, 'k');
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < mib; ++i) {
        if (f.write(chunk) != chunk.size())
            return 0;
        if (i % 16 == 0)
            QCoreApplication::processEvents();
    }
    f.flush();
    ::fsync(f.handle());
    f.close();
    return mib / (clock.elapsed() / 1000.0);
}

// One copy into the Team drive of a running instance, with the helm turning when it is the tray.
double timedCopy(TrayRun& kelvane, const QString& home, int mib, bool tray, const SniHost* host) {
    if (!waitUntil([&] { return kelvane.allDrives("mounted", 2); }, 120s))
        return 0;
    QFuture<double> copying = QtConcurrent::run(
        [path = home + "/Kelvane/Team/bench.bin", mib] { return copyInto(path, mib); });
    while (!copying.isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    if (tray && host)
        std::printf("  tray spun during the copy: %s, frames received so far %d\n",
                    kelvane.tray()["spinning"].toBool() ? "yes" : "no (already resting)",
                    host->newIconSignals());
    return copying.result();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({"seconds", "Length of each CPU window.", "n", "10"});
    parser.addOption({"copy-mib", "Size of the copy into the drive (0: skip).", "m", "1024"});
    parser.process(app);
    const int seconds = parser.value("seconds").toInt();
    const int copyMib = parser.value("copy-mib").toInt();

    TestHome home;
    Xvfb x;
    PrivateBus bus;
    const QString display = x.start();
    const QString address = bus.start();
    if (display.isEmpty() || address.isEmpty()) {
        std::fputs("tray_bench: needs Xvfb and dbus-daemon\n", stderr);
        return 1;
    }
    SniHost host(address);
    const qint64 busPid = bus.pid();
    DevServer server;
    const bool withDrive = copyMib > 0 && QFile::exists("/dev/fuse");

    TrayRun kelvane(home.path(), display, address);
    if (withDrive)
        kelvane.signIn(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword);
    kelvane.startTray();
    if (!waitUntil([&] { return !host.frames().isEmpty(); }, 30s)) {
        std::fputs("tray_bench: the tray never registered\n", stderr);
        return 1;
    }
    if (withDrive)
        waitUntil([&] { return kelvane.allDrives("mounted", 2); }, 120s);
    waitUntil([&] { return !kelvane.tray()["spinning"].toBool(); }, 10s);
    idleFor(1s);

    std::printf("Kelvane tray on Xvfb %s, StatusNotifierItem host re-reading IconPixmap on every "
                "NewIcon\n",
                qPrintable(display));
    report("helm at rest", measure(kelvane, host, busPid, seconds));
    writeLedger(true);
    waitUntil([&] { return kelvane.tray()["spinning"].toBool(); }, 10s);
    report("helm turning (30 fps)", measure(kelvane, host, busPid, seconds));
    writeLedger(false);
    waitUntil([&] { return !kelvane.tray()["spinning"].toBool(); }, 10s);

    if (withDrive) {
        // The same copy with the tray turning and with no tray (a headless run), twice each,
        // alternating, so that neither gets the warmer caches.
        kelvane.stop();
        QList<double> withTray, without;
        for (int round = 0; round < 2; ++round) {
            for (const bool tray : {true, false}) {
                QFile::remove(home.file("Kelvane/Team/bench.bin"));
                TrayRun run(home.path(), tray ? display : QString(), tray ? address : QString());
                tray ? run.startTray() : run.start();
                run.waitForInstance(30s);
                if (tray)
                    writeLedger(true);
                const double rate =
                    timedCopy(run, home.path(), copyMib, tray, tray ? &host : nullptr);
                writeLedger(false);
                run.stop();
                (tray ? withTray : without) << rate;
                std::printf("  round %d, %s: %.0f MiB/s\n", round + 1,
                            tray ? "tray turning" : "no tray", rate);
            }
        }
        const double a = (withTray[0] + withTray[1]) / 2, b = (without[0] + without[1]) / 2;
        std::printf("copy of %d MiB into a drive: %.0f MiB/s with the tray turning, %.0f MiB/s "
                    "with no tray: ratio %.3f\n",
                    copyMib, a, b, b > 0 ? a / b : 0.0);
    } else {
        kelvane.stop();
        std::puts("copy into a drive skipped (no /dev/fuse, or --copy-mib 0)");
    }
    return 0;
}
