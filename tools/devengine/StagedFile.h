#pragma once

#include "tools/devengine/StagingFormat.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>

// The written-but-not-uploaded blocks of one file, each kept in files of the staging folder
// (see StagingFormat), plus the file's logical size. Bytes of a staged block past its stored
// length read as zeros; bytes of other blocks come from the backing file. commit() makes the
// staged state durable, so a later engine uploads it even if this one dies. Not thread-safe:
// the staging area calls it under its lock.
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
        bool working = false;   // the newest bytes are in the working file, not yet durable
        bool committed = false; // a committed file exists under the block's name
    };
    // Where the staging files live and which backing file they belong to.
    struct Identity {
        std::string folder;
        std::string id;
        std::string path; // inside the volume
        std::uint64_t ino = 0;
        std::optional<timespec> birth;
    };

    StagedFile(Identity identity, int backingFd, std::uint64_t size, std::uint64_t blockSize);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    ssize_t read(char* out, std::size_t size, std::uint64_t offset, const BackingRead& backing);
    // Negative errno on failure. `sealAt` is the ready time of a block that this write fills.
    ssize_t write(const char* data, std::size_t size, std::uint64_t offset, std::uint64_t seq,
                  Clock::time_point sealAt);
    int truncate(std::uint64_t size, std::uint64_t seq);
    void seal(Clock::time_point readyAt);
    // Syncs every working block and renames it over its committed name, then replaces the
    // record: afterwards a crash loses nothing staged so far. 0 or negative errno.
    int commit();
    // The file got a new name in the volume.
    int moved(const std::string& path);
    // Removes every staging file of this file, record first.
    void removeStagedData();
    // A block found committed by an earlier engine, ready for upload at `readyAt`.
    void adoptCommitted(std::uint64_t index, std::uint64_t length, std::uint64_t seq,
                        Clock::time_point readyAt);
    void adoptRecord(const StagingFormat::FileRecord& record);

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
    const std::string& path() const { return identity_.path; }
    const std::optional<timespec>& mtime() const { return mtime_; }
    void setMtime(const timespec& when) { mtime_ = when; }

private:
    std::string file(const std::string& name) const { return identity_.folder + "/" + name; }
    std::string committedPath(std::uint64_t index) const;
    std::string workingPath(std::uint64_t index) const;
    std::string currentPath(std::uint64_t index, const Block& blk) const;
    ssize_t stage(std::uint64_t index, std::uint64_t seq, Block*& out);
    int makeWorking(std::uint64_t index, Block& blk);
    int commitBlock(std::uint64_t index, Block& blk);
    int writeRecord();
    void dropRecordIfUnused();
    StagingFormat::FileRecord record() const;
    ssize_t readStaged(std::uint64_t index, const Block& blk, char* out, std::uint64_t inBlock,
                       std::uint64_t length) const;
    void removeBlockFiles(std::uint64_t index, const Block& blk);

    Identity identity_;
    int fd_;
    std::uint64_t size_;
    std::uint64_t blockSize_;
    std::optional<timespec> mtime_;
    std::map<std::uint64_t, Block> blocks_;
    // Committed files of blocks a truncate dropped: they stay until the next commit replaces
    // the record, so the files on disk always tell one consistent story.
    std::set<std::uint64_t> stale_;
    std::optional<StagingFormat::FileRecord> recorded_; // what the record on disk says
};
