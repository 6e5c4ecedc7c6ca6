#include "tools/devengine/StagingRecovery.h"
#include "tools/devengine/StagingArea.h"
#include "tools/devengine/StagingFormat.h"
#include "tools/devengine/Uploader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t kBlock = 16;

// A volume folder and a staging folder; each StagingArea made here stands for one engine, and
// dropping it without a flush is that engine's crash (nothing is cleaned up on the way out).
class StagingRecoveryTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QDir().mkpath(dir_.filePath("vol"));
        QDir().mkpath(dir_.filePath("staging"));
    }

    std::string volume() const { return dir_.filePath("vol").toStdString(); }
    std::string staging() const { return dir_.filePath("staging").toStdString(); }
    std::unique_ptr<StagingArea> engine() const {
        return std::make_unique<StagingArea>(
            StagingArea::Options{staging(), kBlock, std::chrono::hours(1), 1 << 20});
    }

    // An open backing file with `text`, as VolumeFs would hand it over.
    struct Backing {
        int fd = -1;
        FileKey key;
        ~Backing() {
            if (fd >= 0)
                ::close(fd);
        }
    };
    std::unique_ptr<Backing> backing(const std::string& path, const std::string& text = {}) {
        auto file = std::make_unique<Backing>();
        file->fd = ::open((volume() + path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        EXPECT_GE(file->fd, 0);
        EXPECT_EQ(::pwrite(file->fd, text.data(), text.size(), 0),
                  static_cast<ssize_t>(text.size()));
        struct stat st {};
        ::fstat(file->fd, &st);
        file->key = {st.st_dev, st.st_ino};
        return file;
    }
    static void write(StagingArea& area, const Backing& file, const std::string& path,
                      const std::string& text, std::uint64_t offset) {
        ASSERT_EQ(area.write(file.key, file.fd, path, text.data(), text.size(), offset),
                  static_cast<ssize_t>(text.size()));
    }
    std::string contents(const std::string& path) const {
        QFile file(QString::fromStdString(volume() + path));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString()
                                              : std::string("<gone>");
    }
    QStringList stagingFiles() const {
        return QDir(QString::fromStdString(staging())).entryList(QDir::Files | QDir::Hidden);
    }

    // The next engine: takes over what the folder holds and uploads it all.
    StagingRecovery::Report recoverAndUpload() {
        StagingRecovery::Report report;
        auto next = engine();
        for (auto& file : StagingRecovery::scan(staging(), volume(), report))
            next->adopt(std::move(file));
        EXPECT_EQ(next->snapshot().blocks, report.blocks) << "the backlog shows before upload";
        Uploader uploader(*next, 0);
        uploader.start();
        EXPECT_TRUE(next->flushAll());
        uploader.stop();
        EXPECT_EQ(next->snapshot().blocks, 0u);
        return report;
    }

    QTemporaryDir dir_;
};

} // namespace

TEST_F(StagingRecoveryTest, TheNextEngineUploadsWhatACrashedOneCommittedAndNothingElse) {
    const auto file = backing("/doc.bin", std::string(40, '.'));
    auto first = engine();
    write(*first, *file, "/doc.bin", std::string(20, 'A'), 10); // blocks 0 and 1
    write(*first, *file, "/doc.bin", "END", 50);                // past the end: block 3
    ASSERT_EQ(first->commit(file->key), 0);                     // close() acknowledged these
    write(*first, *file, "/doc.bin", "late", 0); // never flushed: may be lost, never half-applied
    first.reset();                               // the crash
    EXPECT_EQ(contents("/doc.bin"), std::string(40, '.')) << "nothing uploaded before the crash";

    const auto report = recoverAndUpload();
    EXPECT_EQ(report.files, 1u);
    EXPECT_EQ(report.blocks, 3u);
    EXPECT_EQ(report.unfinished, 1u); // the working copy of block 0 with "late"
    EXPECT_EQ(report.damaged, 0u);
    EXPECT_EQ(contents("/doc.bin"), std::string(10, '.') + std::string(20, 'A') +
                                        std::string(10, '.') + std::string(10, '\0') + "END");
    EXPECT_TRUE(stagingFiles().isEmpty()) << stagingFiles().join(' ').toStdString();
}

TEST_F(StagingRecoveryTest, TornDamagedAndOrphanedBlocksAreDroppedNotUploaded) {
    const auto file = backing("/f.bin", std::string(48, '.'));
    auto first = engine();
    write(*first, *file, "/f.bin", std::string(48, 'X'), 0); // blocks 0, 1 and 2
    ASSERT_EQ(first->commit(file->key), 0);
    first.reset();
    const QStringList blocks = stagingFiles().filter(QStringLiteral("_"));
    ASSERT_EQ(blocks.size(), 3);
    const QString dir = QString::fromStdString(staging()) + "/";
    // Block 1 torn (the write of its file stopped half-way); block 2 with a flipped byte.
    ASSERT_TRUE(QFile::resize(dir + blocks.filter("_1").first(), 20));
    QFile flipped(dir + blocks.filter("_2").first());
    ASSERT_TRUE(flipped.open(QIODevice::ReadWrite));
    flipped.seek(3);
    flipped.write("Y");
    flipped.close();
    // A block of a file no record describes.
    QFile orphan(dir + "0123456789abcdef_0");
    ASSERT_TRUE(orphan.open(QIODevice::WriteOnly));
    orphan.write(QByteArray(16, 'Z') +
                 QByteArray::fromStdString(StagingFormat::encodeTrailer({0, 16, kBlock, 0})));
    orphan.close();

    const auto report = recoverAndUpload();
    EXPECT_EQ(report.blocks, 1u);
    EXPECT_EQ(report.damaged, 2u);
    EXPECT_EQ(report.orphaned, 1u);
    EXPECT_EQ(contents("/f.bin"), std::string(16, 'X') + std::string(32, '.'));
    EXPECT_TRUE(stagingFiles().isEmpty()) << stagingFiles().join(' ').toStdString();
}

TEST_F(StagingRecoveryTest, RenamesAndTruncatesBeforeTheCrashAreWhatTheNextEngineApplies) {
    QDir().mkpath(QString::fromStdString(volume() + "/old"));
    const auto moved = backing("/old/a.bin");
    const auto cut = backing("/cut.bin", std::string(64, '.'));
    auto first = engine();
    write(*first, *moved, "/old/a.bin", "moved along", 0);
    ASSERT_EQ(first->commit(moved->key), 0);
    ASSERT_EQ(::rename((volume() + "/old").c_str(), (volume() + "/new").c_str()), 0);
    first->renamed("/old", "/new", false);

    write(*first, *cut, "/cut.bin", std::string(64, 'C'), 0);
    ASSERT_EQ(first->commit(cut->key), 0);
    ASSERT_EQ(first->truncate(cut->key, cut->fd, 20), 0); // cuts block 1, drops 2 and 3
    ASSERT_EQ(first->truncate(cut->key, cut->fd, 40), 0); // grows again: zeros, not old bytes
    write(*first, *cut, "/cut.bin", "W", 50); // back into block 3, which the truncate dropped
    ASSERT_EQ(first->commit(cut->key), 0);
    first.reset();

    const auto report = recoverAndUpload();
    EXPECT_EQ(report.files, 2u);
    EXPECT_TRUE(report.lostPaths.empty());
    EXPECT_EQ(report.renamed, 0u) << "the record followed the rename; no search was needed";
    EXPECT_EQ(contents("/new/a.bin"), "moved along");
    EXPECT_EQ(contents("/old/a.bin"), "<gone>");
    EXPECT_EQ(contents("/cut.bin"), std::string(20, 'C') + std::string(30, '\0') + "W");
}

TEST_F(StagingRecoveryTest, AFileMovedBehindTheEnginesBackIsFoundAndAReplacedOneIsLeftAlone) {
    const auto wandering = backing("/here.bin");
    const auto replaced = backing("/victim.bin", "original");
    auto first = engine();
    write(*first, *wandering, "/here.bin", "found me", 0);
    write(*first, *replaced, "/victim.bin", "staged!!", 0);
    ASSERT_EQ(first->commitAll(), 0);
    first.reset();
    // While no engine runs: one file is renamed, the other deleted and a new one takes its name.
    QDir().mkpath(QString::fromStdString(volume() + "/deep/er"));
    ASSERT_EQ(::rename((volume() + "/here.bin").c_str(), (volume() + "/deep/er/there.bin").c_str()),
              0);
    const std::string holder = volume() + "/holder";
    ASSERT_EQ(::link((volume() + "/victim.bin").c_str(), holder.c_str()), 0); // keeps the inode
    ASSERT_EQ(::unlink((volume() + "/victim.bin").c_str()), 0);
    {
        QFile fresh(QString::fromStdString(volume() + "/victim.bin"));
        ASSERT_TRUE(fresh.open(QIODevice::WriteOnly));
        fresh.write("someone else's");
    }
    ASSERT_EQ(::unlink(holder.c_str()), 0); // the staged file is gone for good

    const auto report = recoverAndUpload();
    EXPECT_EQ(report.renamed, 1u);
    EXPECT_EQ(contents("/deep/er/there.bin"), "found me");
    EXPECT_EQ(contents("/victim.bin"), "someone else's");
    EXPECT_EQ(report.lostPaths, std::vector<std::string>{"/victim.bin"});
}

TEST(StagingFormatTest, RecordsAndTrailersRoundTripAndRejectAnyChange) {
    StagingFormat::FileRecord record{"/a b/\nodd name", 77,          timespec{5, 6}, 1234,
                                     4 << 20,           std::nullopt};
    const std::string bytes = StagingFormat::encodeRecord(record);
    const auto back = StagingFormat::decodeRecord(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->path, record.path);
    EXPECT_EQ(back->ino, 77u);
    ASSERT_TRUE(back->birth);
    EXPECT_EQ(back->birth->tv_nsec, 6);
    EXPECT_FALSE(back->mtime);
    EXPECT_EQ(back->size, 1234u);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::string damaged = bytes;
        damaged[i] ^= 0x01;
        EXPECT_FALSE(StagingFormat::decodeRecord(damaged)) << "byte " << i;
    }
    EXPECT_FALSE(StagingFormat::decodeRecord(bytes.substr(0, bytes.size() - 1)));

    const std::string trailer = StagingFormat::encodeTrailer({3, 100, 4096, 0xDEADBEEF});
    EXPECT_EQ(trailer.size(), StagingFormat::kTrailerBytes);
    ASSERT_TRUE(StagingFormat::decodeTrailer(trailer));
    EXPECT_EQ(StagingFormat::decodeTrailer(trailer)->dataCrc, 0xDEADBEEFu);
    std::string bent = trailer;
    bent[10] ^= 0x40;
    EXPECT_FALSE(StagingFormat::decodeTrailer(bent));

    using Kind = StagingFormat::Entry::Kind;
    EXPECT_EQ(StagingFormat::parseName("0123456789abcdef_12")->kind, Kind::block);
    EXPECT_EQ(StagingFormat::parseName("0123456789abcdef_12")->index, 12u);
    EXPECT_EQ(StagingFormat::parseName("0123456789abcdef_12.w")->kind, Kind::working);
    EXPECT_EQ(StagingFormat::parseName("0123456789abcdef.rec")->kind, Kind::record);
    EXPECT_EQ(StagingFormat::parseName("0123456789abcdef.rec.w")->kind, Kind::scratch);
    for (const char* foreign : {"lock", "0123456789abcdef_012", "0123456789ABCDEF_1",
                                "0123456789abcdef_", "0123456789abcdef_1x", ".probe-12"})
        EXPECT_FALSE(StagingFormat::parseName(foreign)) << foreign;
}
