#include "tests/support/TestHome.h"
#include "tools/devengine/tests/MountedVolume.h"

#include <QRandomGenerator>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

constexpr int kMiB = 1 << 20;

QByteArray randomBytes(int size) {
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    return data;
}

class WriteBackTest : public testing::Test {
protected:
    void SetUp() override {
        if (const auto reason = MountedVolume::unavailableReason())
            GTEST_SKIP() << "FUSE mounts are not possible here: " << reason->toStdString();
    }

    double stat(const char* name) { return volume_.stats()[name]; }

    TestHome home_;
    MountedVolume volume_{home_.path()};
};

} // namespace

TEST_F(WriteBackTest, ASlowUploadShowsStagedBytesUntilItDrains) {
    // 2 Mbps is 250,000 bytes a second: a MiB needs more than four seconds to leave.
    ASSERT_EQ(volume_.mount({"--upload-limit", "2"}).exitCode, 0);
    const QByteArray data = randomBytes(kMiB);
    ASSERT_TRUE(writeFile(volume_.mounted("big.bin"), data));

    EXPECT_GT(stat("juicefs_staging_block_bytes"), 0);
    EXPECT_GE(stat("juicefs_staging_blocks"), 1);
    EXPECT_EQ(readFile(volume_.mounted("big.bin")), data);

    bool sawUpload = false;
    EXPECT_TRUE(pollUntil([&] {
        sawUpload = sawUpload || stat("juicefs_object_request_uploading") >= 1;
        return stat("juicefs_staging_block_bytes") == 0;
    }));
    EXPECT_TRUE(sawUpload);
    EXPECT_EQ(stat("juicefs_staging_blocks"), 0);
    EXPECT_GE(stat("juicefs_object_request_data_bytes_PUT"), kMiB);
    EXPECT_EQ(readFile(volume_.backing("big.bin")), data); // while still mounted
}

TEST_F(WriteBackTest, UmountUploadsWhatTheDelayHeldBack) {
    ASSERT_EQ(volume_.mount({"--upload-delay", "1h"}).exitCode, 0);
    const QByteArray data = randomBytes(5 * kMiB + 123);
    ASSERT_TRUE(writeFile(volume_.mounted("held.bin"), data));
    EXPECT_EQ(stat("juicefs_staging_block_bytes"), data.size());
    EXPECT_EQ(readFile(volume_.backing("held.bin")), QByteArray()); // created, not yet filled
    EXPECT_EQ(readFile(volume_.mounted("held.bin")), data);

    ASSERT_EQ(volume_.unmount().exitCode, 0);
    EXPECT_EQ(readFile(volume_.backing("held.bin")), data);
}

TEST_F(WriteBackTest, SigtermUploadsStagedDataBeforeTheMountGoes) {
    ASSERT_EQ(volume_.mount({"--upload-delay", "1h"}).exitCode, 0);
    ASSERT_TRUE(volume_.daemonPid());
    const QByteArray data = randomBytes(300000);
    ASSERT_TRUE(writeFile(volume_.mounted("late.bin"), data));
    ASSERT_GT(stat("juicefs_staging_block_bytes"), 0);

    ASSERT_EQ(::kill(*volume_.daemonPid(), SIGTERM), 0);
    ASSERT_TRUE(volume_.waitUntilUnmounted());
    EXPECT_EQ(readFile(volume_.backing("late.bin")), data);
}

TEST_F(WriteBackTest, ReadsMergeStagedChangesIntoUploadedData) {
    ASSERT_EQ(volume_.mount({"--upload-delay", "1h"}).exitCode, 0);
    const QByteArray original = randomBytes(6 * kMiB);
    ASSERT_TRUE(writeFile(volume_.backing("edit.bin"), original));
    QFile file(volume_.mounted("edit.bin"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(4 * kMiB - 2));
    ASSERT_EQ(file.write("PATCH"), 5);
    file.close();

    QByteArray expected = original;
    expected.replace(4 * kMiB - 2, 5, "PATCH");
    EXPECT_EQ(readFile(volume_.mounted("edit.bin")), expected);
    EXPECT_EQ(readFile(volume_.backing("edit.bin")), original);
    ASSERT_EQ(volume_.unmount().exitCode, 0);
    EXPECT_EQ(readFile(volume_.backing("edit.bin")), expected);
}

TEST_F(WriteBackTest, SyncingTheMountRootUploadsEverythingStagedWhileMounted) {
    // The delay holds the data back; the sync sends it at once, paced by the limit (16 Mbps:
    // a MiB takes about half a second).
    ASSERT_EQ(volume_.mount({"--upload-delay", "1h", "--upload-limit", "16"}).exitCode, 0);
    const QByteArray data = randomBytes(kMiB);
    ASSERT_TRUE(writeFile(volume_.mounted("sync.bin"), data));
    ASSERT_GT(stat("juicefs_staging_block_bytes"), 0);

    const int root = ::open(volume_.mounted().toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(root, 0);
    EXPECT_EQ(::fsync(root), 0);
    ::close(root);
    EXPECT_EQ(stat("juicefs_staging_block_bytes"), 0);
    EXPECT_EQ(readFile(volume_.backing("sync.bin")), data);
    EXPECT_TRUE(volume_.isMounted());
}
