// The real tray program on a virtual X display: docked into an XEmbed tray (trayer), and
// registered with a StatusNotifierItem watcher and host on a private session bus.
#include "app/views/tests/support/DesktopProcesses.h"
#include "app/views/tests/support/FileManagerDouble.h"
#include "app/views/tests/support/SniHost.h"
#include "app/views/tests/support/TrayRun.h"
#include "platform/AtomicFile.h"
#include "shared/ClipboardRequest.h"
#include "shared/SyncStatus.h"
#include "tests/support/DevServer.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <gtest/gtest.h>
#include <set>

namespace {

using namespace std::chrono_literals;

bool fuseAvailable() {
    return QFile::exists("/dev/fuse") && QFile::exists("/usr/bin/fusermount3");
}

// Dark pixels in an image: the helm drawn in the label colour on a light tray.
int inkedPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 110)
                ++count;
    return count;
}

QRect geometryOf(const QJsonObject& tray) {
    const QJsonObject g = tray.value("iconGeometry").toObject();
    return QRect(g["x"].toInt(), g["y"].toInt(), g["width"].toInt(), g["height"].toInt());
}

QByteArray keyOf(const QImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
}

void writeLedger(bool busy) {
    SyncStatus status = SyncStatus::empty();
    status.updatedAt = QDateTime::currentDateTimeUtc();
    if (busy)
        status.transfers.append({"t1", "/Team/big.bin", 10, 100, SyncTransfer::Direction::upload,
                                 QDateTime::currentDateTimeUtc()});
    AtomicFile::write(SyncStatus::ledgerFile(), status.toJson());
}

// Until the helm has rested, sending no frame, for the given span.
bool quietFor(const TrayRun& kelvane, const SniHost& host, std::chrono::milliseconds span,
              std::chrono::milliseconds limit) {
    int frames = host.newIconSignals();
    QElapsedTimer still;
    still.start();
    return waitUntil(
        [&] {
            if (host.newIconSignals() != frames || kelvane.tray()["spinning"].toBool()) {
                frames = host.newIconSignals();
                still.restart();
            }
            return still.elapsed() >= span.count();
        },
        limit);
}

} // namespace

TEST(TrayDesktop, DocksIntoAnXEmbedTrayWhenNoStatusNotifierHostAppears) {
    if (Xvfb::program().isEmpty() || Trayer::program().isEmpty())
        GTEST_SKIP() << "Xvfb or trayer is not installed (scripts/install-deps.sh adds them)";
    TestHome home;
    Xvfb x;
    const QString display = x.start();
    ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start";
    Trayer trayer;
    trayer.start(display);

    // No session bus at all: the bounded wait for a StatusNotifierItem host ends in XEmbed.
    // Opened by a link while no Kelvane runs: the tray starts (the link then waits for a drive).
    TrayRun kelvane(home.path(), display, QString());
    kelvane.startProgram({"kelvane://open/Team/Plans"});
    ASSERT_TRUE(kelvane.waitForInstance(20s)) << kelvane.output().toStdString();
    ASSERT_TRUE(waitUntil([&] { return geometryOf(kelvane.tray()).isValid(); }, 30s))
        << kelvane.output().toStdString();
    const QJsonObject tray = kelvane.tray();
    EXPECT_EQ(tray["backend"].toString(), "xembed");
    EXPECT_FALSE(tray["spinning"].toBool());
    EXPECT_EQ(tray["toolTip"].toString(), "Kelvane");
    const QRect icon = geometryOf(tray);
    EXPECT_LE(icon.top(), 30) << "docked in the panel along the top";

    // The link handler is registered for this installation.
    QFile entry(home.file(".local/share/applications/kelvane.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("Exec=" KELVANE_APP_PATH " %u\n"));

    // The icon shows: the helm's ink is in the tray where the icon sits.
    QImage seen;
    ASSERT_TRUE(waitUntil(
        [&] {
            seen = kelvane.screenshot("tray-xembed-icon.png", icon.adjusted(-4, -2, 4, 2), 6);
            return !seen.isNull() && inkedPixels(seen) > 200;
        },
        10s))
        << "no helm in the tray";
    kelvane.screenshot("tray-xembed.png", QRect(QPoint(1024 - 360, 0), QSize(360, 60)), 2);

    // Text handed over by another program lands on the display's clipboard, served by the tray.
    const QString link = "https://files.example/w/Team/Plans";
    const auto copied = TrayRun::ask(ClipboardRequest::make(link));
    ASSERT_TRUE(copied);
    EXPECT_TRUE(ClipboardRequest::isAccepted(*copied))
        << QJsonDocument(*copied).toJson().toStdString();
    const QString xclip = QStandardPaths::findExecutable("xclip");
    ASSERT_FALSE(xclip.isEmpty()) << "xclip is not installed (scripts/packages.txt lists it)";
    QProcess paste;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    paste.setProcessEnvironment(env);
    paste.start(xclip, {"-o", "-selection", "clipboard"});
    ASSERT_TRUE(paste.waitForFinished(10'000));
    EXPECT_EQ(QString::fromUtf8(paste.readAllStandardOutput()), link);

    kelvane.stop();
    EXPECT_EQ(kelvane.exitCode(), 0) << kelvane.output().toStdString();
}

// The panel's host comes up after Kelvane (a login race): past the bounded wait, with no XEmbed
// tray either, the tray keeps looking and registers once the host is there.
TEST(TrayDesktop, AStatusNotifierHostThatComesUpLateIsStillUsed) {
    if (Xvfb::program().isEmpty() || PrivateBus::program().isEmpty())
        GTEST_SKIP() << "Xvfb or dbus-daemon is not installed";
    TestHome home;
    Xvfb x;
    const QString display = x.start();
    ASSERT_FALSE(display.isEmpty());
    PrivateBus bus;
    const QString address = bus.start();
    ASSERT_FALSE(address.isEmpty()) << "dbus-daemon did not start";

    TrayRun kelvane(home.path(), display, address);
    kelvane.startTray();
    ASSERT_TRUE(kelvane.waitForOutput("still looking", 30s)) << kelvane.output().toStdString();
    EXPECT_EQ(kelvane.tray()["backend"].toString(), "waiting");

    SniHost host(address);
    ASSERT_TRUE(host.isReady());
    ASSERT_TRUE(waitUntil([&] { return !host.registeredItems().isEmpty(); }, 20s))
        << kelvane.output().toStdString();
    ASSERT_TRUE(waitUntil([&] { return !host.frames().isEmpty(); }, 10s));
    EXPECT_EQ(kelvane.tray()["backend"].toString(), "statusNotifier");

    kelvane.stop();
    EXPECT_EQ(kelvane.exitCode(), 0) << kelvane.output().toStdString();
}

TEST(TrayDesktop, StatusNotifierItemSpinsWhileADriveIsWrittenAndActivateOpensThePopover) {
    if (Xvfb::program().isEmpty() || PrivateBus::program().isEmpty())
        GTEST_SKIP() << "Xvfb or dbus-daemon is not installed";
    TestHome home;
    Xvfb x;
    const QString display = x.start();
    ASSERT_FALSE(display.isEmpty());
    PrivateBus bus;
    const QString address = bus.start();
    ASSERT_FALSE(address.isEmpty()) << "dbus-daemon did not start";
    SniHost host(address);
    ASSERT_TRUE(host.isReady());
    FileManagerDouble files(address);
    ASSERT_TRUE(files.isReady());

    const bool withDrive = fuseAvailable();
    DevServer server;
    TrayRun kelvane(home.path(), display, address);
    if (withDrive) {
        ASSERT_TRUE(kelvane.signIn(server.apiURL(), DevServer::kDemoEmail, DevServer::kDemoPassword)
                        .out.startsWith("Signed in as"));
    }
    kelvane.startTray();
    ASSERT_TRUE(waitUntil([&] { return !host.registeredItems().isEmpty(); }, 20s))
        << "the tray never registered\n"
        << kelvane.output().toStdString();
    ASSERT_TRUE(waitUntil([&] { return !host.frames().isEmpty(); }, 10s));
    EXPECT_EQ(kelvane.tray()["backend"].toString(), "statusNotifier");
    EXPECT_TRUE(host.frames().last().sizes.contains(QSize(36, 36)))
        << "the helm goes out at 2x for HiDPI panels";
    EXPECT_TRUE(waitUntil([&] { return host.toolTipTitle() == "Kelvane"; }, 5s));

    if (withDrive) {
        ASSERT_TRUE(waitUntil([&] { return kelvane.allDrives("mounted", 2); }, 120s))
            << kelvane.output().toStdString();
    }
    // At rest (after what the mounts themselves moved has settled): no frames are pushed.
    ASSERT_TRUE(quietFor(kelvane, host, 1500ms, 30s));
    const QImage rest = host.frames().last().image;
    Screenshots::save(rest.scaled(rest.size() * 6), "sni-icon-rest.png");
    const int framesAtRest = host.newIconSignals();
    EXPECT_FALSE(waitUntil([&] { return host.newIconSignals() != framesAtRest; }, 700ms))
        << "a resting helm sends no frames";

    // Data moves: through a real drive where FUSE is there, else through the extension's ledger.
    QFuture<bool> writing;
    if (withDrive) {
        const QString target = home.file("Kelvane/Team/big.bin");
        writing = QtConcurrent::run([target] {
            QFile f(target);
            if (!f.open(QIODevice::WriteOnly))
                return false;
            const QByteArray chunk(1 << 20, 'k');
            // Paced, so the drive stays busy for a few seconds, as a real copy would.
            for (int i = 0; i < 96; ++i) {
                if (f.write(chunk) != chunk.size())
                    return false;
                f.flush();
                QThread::msleep(30);
            }
            return true;
        });
    } else {
        writeLedger(true);
    }
    ASSERT_TRUE(waitUntil([&] { return kelvane.tray()["spinning"].toBool(); }, 20s))
        << kelvane.output().toStdString();
    const qsizetype spinStart = host.frames().size();
    ASSERT_TRUE(waitUntil([&] { return host.frames().size() >= spinStart + 15; }, 10s));
    std::set<QByteArray> distinct;
    for (qsizetype i = spinStart; i < host.frames().size(); ++i)
        distinct.insert(keyOf(host.frames()[i].image));
    EXPECT_GE(distinct.size(), 10u) << "each frame pushed is a new angle";
    const QImage spinning = host.frames().last().image;
    Screenshots::save(spinning.scaled(spinning.size() * 6), "sni-icon-spinning.png");
    const qint64 bytesPerFrame = host.frames().last().payloadBytes;
    EXPECT_LE(bytesPerFrame, 8'000) << "36 px plus the 22 px Qt adds";

    if (withDrive) {
        ASSERT_TRUE(waitUntil([&] { return writing.isFinished(); }, 60s));
        ASSERT_TRUE(writing.result()) << "the write into the drive failed";
    } else {
        writeLedger(false);
    }
    ASSERT_TRUE(waitUntil([&] { return !kelvane.tray()["spinning"].toBool(); }, 90s))
        << "the helm never came to rest";
    ASSERT_TRUE(waitUntil([&] { return keyOf(host.frames().last().image) == keyOf(rest); }, 5s))
        << "at rest the helm is upright and without the badge again";

    // A link to a folder in the Team drive, handed over by a second `kelvane`.
    if (withDrive) {
        QDir().mkpath(home.file("Kelvane/Team/Projects"));
        const auto handed = kelvane.run({"kelvane://open/Team/Projects"});
        EXPECT_EQ(handed.exitCode, 0) << handed.err.toStdString();
        ASSERT_TRUE(waitUntil([&] { return !files.calls.isEmpty(); }, 10s));
        EXPECT_EQ(files.calls.first(),
                  "ShowFolders " +
                      QUrl::fromLocalFile(home.file("Kelvane/Team/Projects")).toString());
    }

    ASSERT_TRUE(host.activate(100, 5));
    ASSERT_TRUE(waitUntil([&] { return kelvane.tray()["popoverVisible"].toBool(); }, 10s));
    const QImage screen = kelvane.screenshot("tray-sni-popover.png");
    EXPECT_FALSE(screen.isNull());

    kelvane.stop();
    EXPECT_EQ(kelvane.exitCode(), 0) << kelvane.output().toStdString();
    EXPECT_TRUE(kelvane.drives().isEmpty()) << "a drive was left mounted";
}
