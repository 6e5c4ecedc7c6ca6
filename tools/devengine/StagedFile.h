#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>

// The written-but-not-uploaded blocks of one file, each kept in its own file of the staging
// folder, plus the file's logical size. Bytes of a staged block past its stored length read as
// zeros; bytes of other blocks come from the backing file. Not thread-safe: the staging area
// calls it under its lock.
class StagedFile {
public:
    using Clock = std::chrono::steady_clock;
    // Reads `length` bytes at `offset` of block `block` (holding `blockBytes`) from the backing;
    // 0 or negative errno.
    using BackingRead = std::function<ssize_t(char* out, std::uint64_t offset, std::uint64_t length,
                                              std::uint64_t block, std::uint64_t blockBytes)>;

    struct Block {
        std::uint64_t length = 0;     // bytes held in the staging file
        std::uint64_t version = 0;    // sequence number of the latest change
        std::uint64_t dirtySince = 0; // sequence number of the oldest change not uploaded
        bool sealed = false;          // the writer is done with it (flush, close, full block)
        Clock::time_point readyAt{};
        Clock::time_point retryAt{};
        bool uploading = false;
    };

    StagedFile(std::string pathPrefix, int backingFd, std::uint64_t size, std::uint64_t blockSize);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    ssize_t read(char* out, std::size_t size, std::uint64_t offset, const BackingRead& backing);
    // Negative errno on failure. `sealAt` is the ready time of a block that this write fills.
    ssize_t write(const char* data, std::size_t size, std::uint64_t offset, std::uint64_t seq,
                  Clock::time_point sealAt);
    int truncate(std::uint64_t size, std::uint64_t seq);
    void seal(Clock::time_point readyAt);
    void removeStagedData();

    // The first block the uploader may take now; `next` learns when a sealed block gets ready.
    std::optional<std::uint64_t> readyBlock(Clock::time_point now, bool urgent,
                                            Clock::time_point& next) const;
    // Bytes copied to the backing, 0 when the block is done, negative errno on failure.
    ssize_t uploadChunk(std::uint64_t block, std::uint64_t offset, std::uint64_t maxBytes);
    // Drops the block when nothing changed since `version`; true when it was dropped.
    bool finishUpload(std::uint64_t block, std::uint64_t version, std::uint64_t seqAtStart, bool ok,
                      Clock::time_point retryAt);
    // Gives the backing file the logical size and modification time once nothing is staged.
    void settleBacking();

    Block* block(std::uint64_t index);
    const std::map<std::uint64_t, Block>& blocks() const { return blocks_; }
    bool dirtyUpTo(std::uint64_t seq) const;
    std::uint64_t size() const { return size_; }
    std::uint64_t blockSize() const { return blockSize_; }
    std::uint64_t blockBytes(std::uint64_t index) const;
    int fd() const { return fd_; }
    const std::optional<timespec>& mtime() const { return mtime_; }
    void setMtime(const timespec& when) { mtime_ = when; }

private:
    std::string stagingPath(std::uint64_t index) const;
    ssize_t stage(std::uint64_t index, std::uint64_t seq, Block*& out);
    ssize_t readStaged(std::uint64_t index, const Block& blk, char* out, std::uint64_t inBlock,
                       std::uint64_t length) const;

    std::string prefix_;
    int fd_;
    std::uint64_t size_;
    std::uint64_t blockSize_;
    std::optional<timespec> mtime_;
    std::map<std::uint64_t, Block> blocks_;
};
