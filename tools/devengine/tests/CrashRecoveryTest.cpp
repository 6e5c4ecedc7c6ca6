#include "tests/support/TestHome.h"
#include "tools/devengine/FileIo.h"
#include "tools/devengine/StagingFormat.h"
#include "tools/devengine/tests/MountedVolume.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

constexpr int kMiB = 1 << 20;

QByteArray randomBytes(int size) {
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>(QRandomGenerator::global()->generate());
    return data;
}

QByteArray sha256(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

class CrashRecoveryTest : public testing::Test {
protected:
    void SetUp() override {
        if (const auto reason = MountedVolume::unavailableReason())
            GTEST_SKIP() << "FUSE mounts are not possible here: " << reason->toStdString();
    }

    double stat(const char* name) { return volume_.stats()[name]; }
    QByteArray log() const { return readFile(home_.file(QStringLiteral(".juicefs/juicefs.log"))); }
    QStringList staged() const {
        return QDir(volume_.stagingFolder()).entryList(QDir::Files | QDir::Hidden);
    }

    // A staged file the engine never wrote, for `path` of the volume, whose one block fails
    // its checksum: what a disk that tore the block's file would leave.
    void plantTornBlock(const QString& path, const QByteArray& garbage) {
        const QString backing = volume_.backing(path);
        const FileIo::Descriptor fd(::open(backing.toLocal8Bit().constData(), O_RDONLY));
        struct stat st {};
        ASSERT_EQ(::fstat(fd.fd, &st), 0);
        StagingFormat::FileRecord record{"/" + path.toStdString(),
                                         st.st_ino,
                                         FileIo::birthTime(fd.fd),
                                         static_cast<std::uint64_t>(garbage.size()),
                                         4 << 20,
                                         std::nullopt};
        const QString id = QStringLiteral("00000000deadbeef");
        ASSERT_TRUE(writeFile(volume_.stagingFolder() + "/" + id + ".rec",
                              QByteArray::fromStdString(StagingFormat::encodeRecord(record))));
        const std::string trailer = StagingFormat::encodeTrailer(
            {0, static_cast<std::uint64_t>(garbage.size()), 4 << 20, 0x12345678});
        ASSERT_TRUE(writeFile(volume_.stagingFolder() + "/" + id + "_0",
                              garbage + QByteArray::fromStdString(trailer)));
    }

    TestHome home_;
    MountedVolume volume_{home_.path()};
};

} // namespace

TEST_F(CrashRecoveryTest, WhatAKilledEngineHadStagedReachesTheVolumeAtTheNextMount) {
    const QByteArray original = randomBytes(3 * kMiB);
    ASSERT_TRUE(writeFile(volume_.backing("edit.bin"), original));
    ASSERT_TRUE(writeFile(volume_.backing("innocent.txt"), "untouched"));
    // 2 Mbps: in the second or two this takes, hardly a block can leave.
    ASSERT_EQ(volume_.mount({"--upload-limit", "2"}).exitCode, 0);

    const QByteArray big = randomBytes(6 * kMiB + 123);
    ASSERT_TRUE(writeFile(volume_.mounted("big.bin"), big));
    QFile edit(volume_.mounted("edit.bin"));
    ASSERT_TRUE(edit.open(QIODevice::ReadWrite));
    ASSERT_TRUE(edit.seek(2 * kMiB - 2));
    ASSERT_EQ(edit.write("PATCH"), 5);
    edit.close();
    QByteArray edited = original;
    edited.replace(2 * kMiB - 2, 5, "PATCH");
    // Renamed after staging: the file, and a folder holding another.
    const QByteArray draft = randomBytes(kMiB);
    ASSERT_TRUE(writeFile(volume_.mounted("draft.bin"), draft));
    ASSERT_TRUE(QDir(volume_.mounted()).mkpath("docs"));
    ASSERT_TRUE(QFile::rename(volume_.mounted("draft.bin"), volume_.mounted("docs/final.bin")));
    ASSERT_TRUE(QDir(volume_.mounted()).mkpath("old"));
    const QByteArray inner = randomBytes(300000);
    ASSERT_TRUE(writeFile(volume_.mounted("old/x.bin"), inner));
    ASSERT_TRUE(QDir(volume_.mounted()).rename("old", "new"));
    // Deleted and truncated after staging.
    ASSERT_TRUE(writeFile(volume_.mounted("gone.bin"), randomBytes(kMiB)));
    ASSERT_TRUE(QFile::remove(volume_.mounted("gone.bin")));
    const QByteArray cut = randomBytes(5 * kMiB);
    ASSERT_TRUE(writeFile(volume_.mounted("cut.bin"), cut));
    ASSERT_TRUE(QFile::resize(volume_.mounted("cut.bin"), 3 * kMiB / 2));

    ASSERT_GE(stat("juicefs_staging_blocks"), 4);
    ASSERT_TRUE(volume_.crash());
    EXPECT_NE(sha256(readFile(volume_.backing("big.bin"))), sha256(big)) << "uploaded already";
    plantTornBlock(QStringLiteral("innocent.txt"), QByteArray("EVIL").repeated(4));
    ASSERT_TRUE(writeFile(volume_.stagingFolder() + "/00000000cafe0000_3.w", "half a write"));

    ASSERT_EQ(volume_.mount({"--upload-limit", "40"}).exitCode, 0);
    EXPECT_GE(stat("juicefs_staging_blocks"), 1) << "the backlog shows at the start";
    EXPECT_GT(stat("juicefs_staging_block_bytes"), 0);
    EXPECT_EQ(readFile(volume_.mounted("big.bin")), big) << "reads see staged data meanwhile";
    ASSERT_TRUE(pollUntil([&] { return stat("juicefs_staging_blocks") == 0; }));

    EXPECT_EQ(sha256(readFile(volume_.backing("big.bin"))), sha256(big));
    EXPECT_EQ(sha256(readFile(volume_.backing("edit.bin"))), sha256(edited));
    EXPECT_EQ(sha256(readFile(volume_.backing("docs/final.bin"))), sha256(draft));
    EXPECT_EQ(sha256(readFile(volume_.backing("new/x.bin"))), sha256(inner));
    EXPECT_EQ(sha256(readFile(volume_.backing("cut.bin"))), sha256(cut.left(3 * kMiB / 2)));
    EXPECT_FALSE(QFile::exists(volume_.backing("gone.bin")));
    EXPECT_FALSE(QFile::exists(volume_.backing("draft.bin")));
    EXPECT_EQ(readFile(volume_.backing("innocent.txt")), "untouched");
    EXPECT_TRUE(log().contains("dropped 1 damaged staged block")) << log().toStdString();
    EXPECT_TRUE(log().contains("left by an earlier engine of vol; uploading them"));
    EXPECT_TRUE(staged().isEmpty()) << staged().join(' ').toStdString();
    ASSERT_EQ(volume_.unmount().exitCode, 0);
}

TEST_F(CrashRecoveryTest, ASecondSignalDuringTheFlushUnmountsAtOnceAndTheNextMountFinishes) {
    // 1 Mbps: 2 MiB take about 17 seconds, far longer than this test waits.
    ASSERT_EQ(volume_.mount({"--upload-limit", "1"}).exitCode, 0);
    const QByteArray data = randomBytes(2 * kMiB);
    ASSERT_TRUE(writeFile(volume_.mounted("slow.bin"), data));

    ASSERT_TRUE(volume_.signal(SIGTERM));
    ASSERT_TRUE(pollUntil([&] { return log().contains("a second SIGTERM or SIGINT unmounts"); }));
    EXPECT_TRUE(volume_.isMounted()) << "the first signal waits for the upload";
    ASSERT_TRUE(volume_.signal(SIGINT));
    EXPECT_TRUE(pollUntil([&] { return !volume_.isMounted(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(volume_.waitUntilUnmounted());
    EXPECT_FALSE(volume_.daemonPid()) << "the daemon ended";
    EXPECT_TRUE(log().contains("stay in " + volume_.stagingFolder().toUtf8()));
    EXPECT_FALSE(staged().isEmpty());
    EXPECT_NE(readFile(volume_.backing("slow.bin")), data);

    ASSERT_EQ(volume_.mount().exitCode, 0);
    ASSERT_TRUE(pollUntil([&] { return stat("juicefs_staging_blocks") == 0; }));
    EXPECT_EQ(sha256(readFile(volume_.backing("slow.bin"))), sha256(data));
}

TEST_F(CrashRecoveryTest, FilesHeldOpenDoNotKeepAForcedStopWaiting) {
    ASSERT_EQ(volume_.mount({"--upload-limit", "1"}).exitCode, 0);
    const QByteArray data = randomBytes(kMiB);
    ASSERT_TRUE(writeFile(volume_.mounted("held.bin"), data));
    QFile held(volume_.mounted("held.bin"));
    ASSERT_TRUE(held.open(QIODevice::ReadOnly));

    ASSERT_TRUE(volume_.signal(SIGTERM));
    ASSERT_TRUE(pollUntil([&] { return log().contains("a second SIGTERM or SIGINT unmounts"); }));
    ASSERT_TRUE(volume_.signal(SIGTERM));
    EXPECT_TRUE(volume_.waitUntilUnmounted());
    ASSERT_TRUE(pollUntil([&] { return log().contains("the engine stops now"); },
                          std::chrono::seconds(15)));
    held.close();

    ASSERT_EQ(volume_.mount().exitCode, 0);
    ASSERT_TRUE(pollUntil([&] { return stat("juicefs_staging_blocks") == 0; }));
    EXPECT_EQ(readFile(volume_.backing("held.bin")), data);
}
