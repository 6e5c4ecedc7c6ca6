#include "findersync/FinderSync.h"
#include "findersync/tests/support/FinderDoubles.h"
#include "findersync/tests/support/HostProcess.h"
#include "platform/AtomicFile.h"
#include "platform/MountTable.h"
#include "platform/findersync/FinderSyncController.h"
#include "shared/FinderSyncConfig.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

bool runTool(const QString& program, const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok = process.waitForFinished(60'000) &&
                    process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return ok;
}

// A real dev-engine drive mounted on a filespace folder that is already watched, unmounted in
// teardown even when the test fails.
class WatchedFolderMountTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::access("/dev/fuse", R_OK | W_OK) != 0)
            GTEST_SKIP() << "/dev/fuse is not available: drives cannot be mounted here";
        ASSERT_TRUE(QDir().mkpath(home.file("backing")) && QDir().mkpath(drive()));
        ASSERT_TRUE(AtomicFile::write(
            FinderSyncConfig::configFile(),
            QStringLiteral(R"({"apiURL":"http://h/api","mountBase":"%1"})").arg(base()).toUtf8()));
    }

    void TearDown() override {
        if (mounted() && !runTool(KELVANE_DEVENGINE_PATH, {"umount", drive()}))
            runTool("/usr/bin/fusermount3", {"-u", "-z", drive()});
    }

    QString base() const { return home.path() + "/Drives"; }
    QString drive() const { return base() + "/Marketing"; }
    bool mounted() const { return MountTable::find(MountTable::read(), drive()).has_value(); }

    void mount() {
        QString output;
        ASSERT_TRUE(runTool(KELVANE_DEVENGINE_PATH,
                            {"mount", "-d", "file://" + home.file("backing"), drive()}, &output))
            << output.toStdString();
        ASSERT_TRUE(waitUntil([&] { return QFile::exists(drive() + "/.stats"); }));
    }

    TestHome home;
};

TEST_F(WatchedFolderMountTest, MountingOnAWatchedFolderReRegistersOnceWithItsNewDevice) {
    FinderSyncController controller;
    RecordingPasteboard pasteboard;
    RecordingWorkspace workspace;
    FinderSync finder(
        {controller, pasteboard, workspace, FinderSyncConfig::configFile(), home.path()});
    QSignalSpy lines(&finder, &FinderSync::watching);
    finder.refreshWatchedDirectories();
    const qint64 before = finder.watched().value(drive());
    ASSERT_EQ(lines.size(), 1);

    mount();
    finder.refreshWatchedDirectories();
    finder.refreshWatchedDirectories();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(1).at(0), lines.at(0).at(0));
    EXPECT_NE(finder.watched().value(drive()), before);
    EXPECT_NE(finder.watched().value(drive()), 0);
    EXPECT_EQ(finder.watched().value(base()), before);

    // Items on the mounted drive get links like any other.
    ASSERT_TRUE(QDir().mkpath(drive() + "/Plans"));
    controller.setSelectedItemURLs({QFile::encodeName(drive() + "/Plans")});
    EXPECT_EQ(finder.selectedShareLinks(), QStringList{"http://h/files/Plans"});
}

TEST_F(WatchedFolderMountTest, TheHostsWatchPrintsTheSetAgainWithinTenSecondsOfAMount) {
    QProcess watch;
    watch.start(hostProgram(), {"watch"});
    ASSERT_TRUE(waitUntil([&] { return watch.canReadLine(); }));
    const QByteArray first = watch.readLine();
    EXPECT_EQ(first, "watching " + QFile::encodeName(base() + ", " + drive()) + "\n");

    mount();
    ASSERT_TRUE(waitUntil([&] { return watch.canReadLine(); }, 15s));
    EXPECT_EQ(watch.readLine(), first);
    watch.terminate();
    EXPECT_TRUE(watch.waitForFinished(10'000));
}

} // namespace
