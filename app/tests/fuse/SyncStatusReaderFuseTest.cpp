#include "app/activity/SyncStatusReader.h"
#include "tests/support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

constexpr qint64 kMiB = 1024 * 1024;

// The dev engine the build names, else the one built beside the application.
QString enginePath() {
#ifdef KELVANE_DEVENGINE_PATH
    return QStringLiteral(KELVANE_DEVENGINE_PATH);
#else
    return QFileInfo(QStringLiteral(KELVANE_APP_PATH))
        .absoluteDir()
        .absoluteFilePath(QStringLiteral("../tools/devengine/kelvane-devengine"));
#endif
}

bool run(const QString& program, const QStringList& args, QString* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    const bool ok = process.waitForFinished(60'000) &&
                    process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return ok;
}

bool isMounted(const QString& mountPoint) {
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 4 && QFile::decodeName(fields.at(4)) == mountPoint)
            return true;
    }
    return false;
}

// A real FUSE mount of the dev engine with a slow upload limit, unmounted in teardown even
// when the test fails.
class SyncStatusReaderFuseTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists("/dev/fuse"))
            GTEST_SKIP() << "/dev/fuse is missing: FUSE mounts cannot run here";
        ASSERT_TRUE(QFileInfo(enginePath()).isExecutable()) << enginePath().toStdString();
        ASSERT_TRUE(QDir(dir.path()).mkpath("backing") && QDir(dir.path()).mkpath("mnt"));
        QString output;
        mountAttempted = true;
        // 24 Mbit/s: 3 MB/s, so 12 MiB take about four seconds to upload.
        ASSERT_TRUE(run(enginePath(),
                        {"mount", "-d", "--upload-limit", "24", "file://" + dir.filePath("backing"),
                         mountPoint()},
                        &output))
            << output.toStdString();
        ASSERT_TRUE(waitUntil([&] { return QFile::exists(mountPoint() + "/.stats"); }));
    }

    void TearDown() override {
        if (!mountAttempted || !isMounted(mountPoint()))
            return;
        QString output;
        if (!run(enginePath(), {"umount", mountPoint()}, &output)) {
            ADD_FAILURE() << "umount failed: " << output.toStdString();
            run("/usr/bin/fusermount3", {"-u", "-z", mountPoint()});
        }
    }

    QString mountPoint() const { return dir.filePath("mnt"); }

    QTemporaryDir dir;
    bool mountAttempted = false;
};

TEST_F(SyncStatusReaderFuseTest, WriteThroughTheMountIsSeenUploadingShrinkingAndDone) {
    SyncStatusReader reader;
    qint64 largestBacklog = 0;
    bool sawUploading = false, sawShrink = false, sawProgress = false;
    QObject::connect(&reader, &SyncStatusReader::changed, [&] {
        const qint64 backlog = reader.uploadBacklogBytes();
        if (reader.juicefsActive() && backlog > 0)
            sawUploading = true;
        if (backlog > 0 && backlog < largestBacklog)
            sawShrink = true;
        largestBacklog = std::max(largestBacklog, backlog);
        if (reader.uploadedThisBurst() > 0 && reader.uploadFraction() > 0)
            sawProgress = true;
    });
    reader.setJuicefsMountPaths({mountPoint()});
    reader.start();

    QFile file(mountPoint() + "/big.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray block(kMiB, 'k');
    for (int i = 0; i < 12; ++i)
        ASSERT_EQ(file.write(block), block.size());
    file.close();

    ASSERT_TRUE(waitUntil([&] { return sawUploading; }, 30s));
    EXPECT_TRUE(reader.isAnyActive());
    ASSERT_TRUE(waitUntil(
        [&] {
            return !reader.isAnyActive() && reader.uploadBacklogBytes() == 0 &&
                   reader.uploadedThisBurst() == 0;
        },
        60s));
    EXPECT_TRUE(sawShrink) << "largest backlog " << largestBacklog;
    EXPECT_TRUE(sawProgress);
    EXPECT_GE(largestBacklog, 4 * kMiB);
}

} // namespace
