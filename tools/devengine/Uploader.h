#pragma once

#include "tools/devengine/RateLimiter.h"
#include "tools/devengine/StagingArea.h"

#include <atomic>
#include <cstdint>
#include <thread>

// The background thread that moves staged blocks into the backing folder, paced by the upload
// limit (flushes included). Counts what it sends for the .stats file.
class Uploader {
public:
    Uploader(StagingArea& staging, double bytesPerSecond);
    ~Uploader();
    Uploader(const Uploader&) = delete;
    Uploader& operator=(const Uploader&) = delete;

    void start();
    // Ends the thread at once; staged data stays staged and a later start() carries on.
    void stop();

    std::uint64_t putBytes() const { return putBytes_.load(); }
    std::uint64_t putRequests() const { return putRequests_.load(); }
    std::uint64_t uploading() const { return uploading_.load(); }
    std::uint64_t failures() const { return failures_.load(); }

    static constexpr std::uint64_t kChunkBytes = 64 * 1024;

private:
    void run();
    bool uploadBlock(const StagingArea::Job& job);

    StagingArea& staging_;
    RateLimiter limiter_;
    std::thread thread_;
    std::atomic<bool> cancel_{false};
    std::atomic<std::uint64_t> putBytes_{0};
    std::atomic<std::uint64_t> putRequests_{0};
    std::atomic<std::uint64_t> uploading_{0};
    std::atomic<std::uint64_t> failures_{0};
};
