#include "tools/devengine/StagingArea.h"
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

// A backing file and a staging area with tiny blocks, driven directly (no FUSE).
class StagingAreaTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QDir().mkpath(dir_.filePath("staging"));
        backingPath_ = dir_.filePath("file.bin").toStdString();
        fd_ = ::open(backingPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd_, 0);
        struct stat st {};
        ::fstat(fd_, &st);
        key_ = {st.st_dev, st.st_ino};
        staging_ = std::make_unique<StagingArea>(StagingArea::Options{
            dir_.filePath("staging").toStdString(), kBlock, std::chrono::hours(1), 1 << 20});
    }
    void TearDown() override {
        staging_.reset();
        ::close(fd_);
    }

    void setBacking(const std::string& text) {
        ASSERT_EQ(::ftruncate(fd_, 0), 0);
        ASSERT_EQ(::pwrite(fd_, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    }
    std::string backing() const {
        QFile file(QString::fromStdString(backingPath_));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
    void write(const std::string& text, std::uint64_t offset) {
        ASSERT_EQ(staging_->write(key_, fd_, "/file.bin", text.data(), text.size(), offset),
                  static_cast<ssize_t>(text.size()));
    }
    std::string read(std::uint64_t offset = 0, std::size_t size = 256) {
        std::string out(size, '?');
        const ssize_t got = staging_->read(key_, fd_, out.data(), size, offset);
        out.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        return out;
    }
    // Uploads everything staged, ignoring the upload delay, as an unmount does.
    void flush() {
        Uploader uploader(*staging_, 0);
        uploader.start();
        staging_->flushAll();
        uploader.stop();
    }

    QTemporaryDir dir_;
    std::string backingPath_;
    int fd_ = -1;
    FileKey key_;
    std::unique_ptr<StagingArea> staging_;
};

} // namespace

TEST_F(StagingAreaTest, ReadsSeeStagedWritesBeforeAnyUpload) {
    setBacking("0123456789abcdefXYZ");
    write("QQ", 14);
    EXPECT_EQ(read(), "0123456789abcdQQXYZ");
    EXPECT_EQ(read(13, 4), "dQQX");
    EXPECT_EQ(backing(), "0123456789abcdefXYZ");
    const auto view = staging_->view(key_);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->size, 19u);

    flush();
    EXPECT_EQ(backing(), "0123456789abcdQQXYZ");
    EXPECT_FALSE(staging_->view(key_)); // nothing staged any more
    EXPECT_EQ(staging_->snapshot().blocks, 0u);
}

TEST_F(StagingAreaTest, CountsStagedBlocksAndTheOnesStillBeingWritten) {
    write(std::string(20, 'a'), 0); // fills block 0, starts block 1
    auto snap = staging_->snapshot();
    EXPECT_EQ(snap.blocks, 2u);
    EXPECT_EQ(snap.bytes, 20u);
    EXPECT_EQ(snap.writingBlocks, 1u); // the full block is sealed at once
    staging_->seal(key_);
    EXPECT_EQ(staging_->snapshot().writingBlocks, 0u);
    flush();
    EXPECT_EQ(staging_->snapshot().bytes, 0u);
    EXPECT_EQ(backing(), std::string(20, 'a'));
}

TEST_F(StagingAreaTest, WritesPastTheEndLeaveZerosInTheHole) {
    setBacking("abc");
    write("Z", 40);
    const std::string expected = std::string("abc") + std::string(37, '\0') + "Z";
    EXPECT_EQ(read(), expected);
    flush();
    EXPECT_EQ(backing(), expected);
}

TEST_F(StagingAreaTest, TruncateCutsStagedDataAndExtendsWithZeros) {
    setBacking("0123456789abcdef0123456789");
    write("XXXXXXXXXXXXXXXXXXXX", 2); // blocks 0 and 1 staged
    ASSERT_EQ(staging_->truncate(key_, fd_, 5), 0);
    EXPECT_EQ(read(), "01XXX");
    ASSERT_EQ(staging_->truncate(key_, fd_, 8), 0);
    EXPECT_EQ(read(), std::string("01XXX") + std::string(3, '\0'));
    flush();
    EXPECT_EQ(backing(), std::string("01XXX") + std::string(3, '\0'));
}

TEST_F(StagingAreaTest, AChangeDuringAnUploadKeepsTheBlockStagedUntilItIsSentAgain) {
    QDir().mkpath(dir_.filePath("eager"));
    StagingArea eager({dir_.filePath("eager").toStdString(), kBlock, {}, 1 << 20});
    ASSERT_EQ(eager.write(key_, fd_, "/file.bin", "aaaaaaaaaaaaaaaa", kBlock, 0),
              16); // full: ready at once
    const std::atomic<bool> carryOn{false};
    const auto job = eager.claim(carryOn);
    ASSERT_TRUE(job);
    EXPECT_EQ(eager.uploadChunk(*job, 0, 8), 8);
    ASSERT_EQ(eager.write(key_, fd_, "/file.bin", "b", 1, 0), 1); // lands in the half already sent
    EXPECT_EQ(eager.uploadChunk(*job, 8, 8), 8);
    EXPECT_EQ(eager.uploadChunk(*job, 16, 8), 0);
    eager.finish(*job, true);
    EXPECT_EQ(eager.snapshot().blocks, 1u);
    EXPECT_EQ(backing(), "aaaaaaaaaaaaaaaa");

    Uploader uploader(eager, 0);
    uploader.start();
    eager.flushAll();
    uploader.stop();
    EXPECT_EQ(backing(), "baaaaaaaaaaaaaaa");
    EXPECT_EQ(uploader.putBytes(), 16u);
}

TEST_F(StagingAreaTest, DiscardDropsStagedDataOfADeletedFile) {
    setBacking("keep");
    write("gone", 0);
    staging_->discard(key_);
    EXPECT_FALSE(staging_->view(key_));
    EXPECT_EQ(staging_->snapshot().blocks, 0u);
    EXPECT_EQ(read(), "keep");
    EXPECT_TRUE(QDir(dir_.filePath("staging")).isEmpty());
}

TEST_F(StagingAreaTest, ReadsFromTheBackingMissOnceThenHitTheCache) {
    setBacking(std::string(20, 'x')); // one full block and one of 4 bytes
    EXPECT_EQ(read(), std::string(20, 'x'));
    auto cache = staging_->snapshot().cache;
    EXPECT_EQ(cache.missBytes, 20u);
    EXPECT_EQ(cache.misses, 2u);
    EXPECT_EQ(read(0, 4), "xxxx");
    cache = staging_->snapshot().cache;
    EXPECT_EQ(cache.missBytes, 20u);
    EXPECT_EQ(cache.hits, 1u);

    write("y", 0); // the changed block is no longer the cached one
    flush();       // but uploading it puts it back
    EXPECT_EQ(read(0, 2), "yx");
    EXPECT_EQ(staging_->snapshot().cache.missBytes, 20u);
}
