#include "tests/support/TestHome.h"
#include "tools/devengine/tests/EngineProcess.h"
#include "tools/devengine/tests/MountedVolume.h"

#include <QProcess>
#include <QRandomGenerator>
#include <csignal>
#include <gtest/gtest.h>

namespace {

constexpr int kMiB = 1 << 20;

QByteArray randomBytes(int size) {
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    return data;
}

class UmountTest : public testing::Test {
protected:
    void SetUp() override {
        if (const auto reason = MountedVolume::unavailableReason())
            GTEST_SKIP() << "FUSE mounts are not possible here: " << reason->toStdString();
    }

    TestHome home_;
    MountedVolume volume_{home_.path()};
};

} // namespace

TEST_F(UmountTest, PrintsTheBacklogWhileTheFlushRunsThenUnmounts) {
    // 8 Mbps: 3 MiB take about three seconds to upload.
    ASSERT_EQ(volume_.mount({"--upload-limit", "8"}).exitCode, 0);
    const QByteArray data = randomBytes(3 * kMiB);
    ASSERT_TRUE(writeFile(volume_.mounted("report.bin"), data));

    const EngineRun run = volume_.unmount();
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("<INFO>: uploading 1 staged block (3.0 MiB) of "))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("<INFO>: still uploading ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(" sent ["));
    EXPECT_FALSE(volume_.isMounted());
    EXPECT_EQ(readFile(volume_.backing("report.bin")), data);
}

TEST_F(UmountTest, ASignalToTheEngineWhileUmountWaitsEndsBothAndKeepsTheBacklog) {
    ASSERT_EQ(volume_.mount({"--upload-limit", "1"}).exitCode, 0);
    const QByteArray data = randomBytes(2 * kMiB);
    ASSERT_TRUE(writeFile(volume_.mounted("later.bin"), data));

    QProcess umount;
    umount.start(EngineProcess::path(), {"umount", volume_.mounted()});
    QByteArray err;
    ASSERT_TRUE(pollUntil([&] {
        umount.waitForReadyRead(20);
        err += umount.readAllStandardError();
        return err.contains("uploading");
    }));
    ASSERT_TRUE(volume_.signal(SIGTERM)); // "quit anyway": one signal, as a flush runs already
    ASSERT_TRUE(umount.waitForFinished(10000));
    err += umount.readAllStandardError();
    EXPECT_EQ(umount.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("was told to stop without waiting")) << err.toStdString();
    EXPECT_TRUE(volume_.waitUntilUnmounted());

    ASSERT_EQ(volume_.mount().exitCode, 0);
    ASSERT_TRUE(pollUntil([&] { return volume_.stats()["juicefs_staging_blocks"] == 0; }));
    EXPECT_EQ(readFile(volume_.backing("later.bin")), data);
}

TEST_F(UmountTest, AMountWhoseEngineDiedIsReportedAndLeftForTheCallerToDetach) {
    ASSERT_EQ(volume_.mount().exitCode, 0);
    ASSERT_TRUE(volume_.die());
    ASSERT_TRUE(volume_.isMounted()) << "nobody detached it yet";

    EngineRun run = EngineProcess::run({"umount", volume_.mounted()});
    EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("is not connected: its engine has stopped"))
        << run.err.toStdString();
    EXPECT_TRUE(volume_.isMounted()) << "plain umount leaves the dead mount alone";

    run = volume_.mount();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("is left from an engine that stopped")) << run.err.toStdString();

    run = EngineProcess::run({"umount", "--force", volume_.mounted()});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_FALSE(volume_.isMounted());
}
