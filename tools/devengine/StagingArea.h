#pragma once

#include "tools/devengine/BlockCacheIndex.h"
#include "tools/devengine/FileKey.h"
#include "tools/devengine/StagedFile.h"

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
// and are acknowledged at once; the uploader later copies each block into the backing file.
// Reads merge staged blocks over the backing file, so they always see the latest data.
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

    // File side. `fd` is an open descriptor of the backing file; results are byte counts or
    // negative errno values, as FUSE wants them.
    ssize_t read(FileKey file, int fd, char* out, std::size_t size, std::uint64_t offset);
    ssize_t write(FileKey file, int fd, const char* data, std::size_t size, std::uint64_t offset);
    int truncate(FileKey file, int fd, std::uint64_t size);
    void seal(FileKey file);
    void setMtime(FileKey file, const timespec& when);
    void discard(FileKey file);
    std::optional<LogicalView> view(FileKey file) const;
    Snapshot snapshot() const;

    // Uploader side. Waits end early once `cancel` is set and wake() is called.
    std::optional<Job> claim(const std::atomic<bool>& cancel);
    ssize_t uploadChunk(const Job& job, std::uint64_t offset, std::uint64_t maxBytes);
    void finish(const Job& job, bool ok);
    bool urgent() const;
    void waitUntil(Clock::time_point deadline, const std::atomic<bool>& cancel);
    void wake();
    // Blocks until everything written before the call is in the backing folder.
    void flushAll();
    // For shutdown: releases every waiter for good, flushed or not.
    void stop();

private:
    StagedFile* find(FileKey file) const;
    ssize_t stagedFor(FileKey file, int fd, StagedFile*& out);
    static ssize_t readBacking(int fd, char* out, std::uint64_t offset, std::uint64_t length);
    ssize_t readUnstaged(FileKey file, int fd, char* out, std::size_t size, std::uint64_t offset);
    bool dirtyUpTo(std::uint64_t seq) const;

    Options options_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    BlockCacheIndex cache_;
    std::map<FileKey, std::unique_ptr<StagedFile>> files_;
    std::uint64_t seq_ = 0;
    int flushers_ = 0;
    bool stopping_ = false;
};
