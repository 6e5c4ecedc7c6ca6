#pragma once

#include "tools/devengine/BlockCacheIndex.h"
#include "tools/devengine/FileKey.h"
#include "tools/devengine/StagedFile.h"
#include "tools/devengine/StagingRecovery.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

// Write-back staging for a mounted volume: writes land in block files of the staging folder
// and are acknowledged at once; commit() makes them durable there (flush, fsync, close), and
// the uploader later copies each block into the backing file. Reads merge staged blocks over
// the backing file, so they always see the latest data. What an engine left staged when it
// died is adopted by the next one (StagingRecovery) and uploaded first.
// Thread-safe: FUSE threads and the uploader share one lock.
class StagingArea {
public:
    using Clock = std::chrono::steady_clock;

    struct Options {
        std::string folder;
        std::uint64_t blockSize = 4 << 20;
        Clock::duration uploadDelay{};
        std::uint64_t cacheBytes = 0;
    };
    struct Snapshot {
        std::uint64_t blocks = 0;
        std::uint64_t bytes = 0;
        std::uint64_t writingBlocks = 0;
        BlockCacheIndex::Counters cache;
    };
    struct LogicalView {
        std::uint64_t size = 0;
        std::optional<timespec> mtime;
    };
    struct Job {
        FileKey file;
        std::uint64_t block = 0;
        std::uint64_t version = 0;
        std::uint64_t seqAtStart = 0;
    };

    explicit StagingArea(Options options);
    ~StagingArea();

    // File side. `fd` is an open descriptor of the backing file and `path` its name in the
    // volume; results are byte counts or negative errno values, as FUSE wants them.
    ssize_t read(FileKey file, int fd, char* out, std::size_t size, std::uint64_t offset);
    ssize_t write(FileKey file, int fd, const std::string& path, const char* data, std::size_t size,
                  std::uint64_t offset);
    int truncate(FileKey file, int fd, std::uint64_t size);
    void seal(FileKey file);
    // Seals the file's blocks and makes them durable; 0 or negative errno.
    int commit(FileKey file);
    // Makes everything staged durable, as an engine that stops with a backlog must.
    int commitAll();
    void setMtime(FileKey file, const timespec& when);
    void discard(FileKey file);
    // A name (file or folder) of the volume moved; staged files under it follow.
    void renamed(const std::string& from, const std::string& to, bool exchanged);
    // Takes over a file an earlier engine left staged; its blocks are ready for upload at once.
    void adopt(RecoveredFile recovered);
    std::optional<LogicalView> view(FileKey file) const;
    Snapshot snapshot() const;

    // Uploader side. Waits end early once `cancel` is set and wake() is called.
    std::optional<Job> claim(const std::atomic<bool>& cancel);
    ssize_t uploadChunk(const Job& job, std::uint64_t offset, std::uint64_t maxBytes);
    void finish(const Job& job, bool ok);
    void waitUntil(Clock::time_point deadline, const std::atomic<bool>& cancel);
    void wake();
    // Blocks until everything written before the call is in the backing folder; false when
    // the flush was abandoned (abandonFlushes, stop) first.
    bool flushAll();
    bool flushing() const;
    bool abandoned() const;
    // For a shutdown that may not wait: every flush, running or later, gives up at once.
    void abandonFlushes();
    // For shutdown: releases every waiter for good, flushed or not.
    void stop();
    const std::string& folder() const { return options_.folder; }

private:
    StagedFile* find(FileKey file) const;
    ssize_t stagedFor(FileKey file, int fd, const std::string& path, StagedFile*& out);
    static ssize_t readBacking(int fd, char* out, std::uint64_t offset, std::uint64_t length);
    ssize_t readUnstaged(FileKey file, int fd, char* out, std::size_t size, std::uint64_t offset);
    bool dirtyUpTo(std::uint64_t seq) const;
    Clock::time_point readyAfterDelay() const;
    std::string newId();

    Options options_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    BlockCacheIndex cache_;
    std::map<FileKey, std::unique_ptr<StagedFile>> files_;
    std::uint64_t seq_ = 0;
    int flushers_ = 0;
    bool abandoned_ = false;
    bool stopping_ = false;
    std::uint64_t idBase_ = 0;
};
