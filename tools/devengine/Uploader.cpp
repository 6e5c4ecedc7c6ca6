#include "tools/devengine/Uploader.h"

#include "tools/devengine/EngineLog.h"

#include <cstring>
#include <signal.h>

Uploader::Uploader(StagingArea& staging, double bytesPerSecond)
    : staging_(staging), limiter_(bytesPerSecond) {}

Uploader::~Uploader() {
    stop();
}

void Uploader::start() {
    // Signals belong to the daemon's signal thread, never to this one.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    thread_ = std::thread([this] { run(); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void Uploader::stop() {
    cancel_ = true;
    staging_.wake();
    if (thread_.joinable())
        thread_.join();
    cancel_ = false;
}

void Uploader::run() {
    while (const auto job = staging_.claim(cancel_)) {
        uploading_ = 1;
        bool ok = false;
        try {
            ok = uploadBlock(*job);
        } catch (const std::exception& e) {
            logError(std::string("upload of block ") + std::to_string(job->block) +
                     " failed: " + e.what());
        }
        uploading_ = 0;
        staging_.finish(*job, ok);
        if (ok)
            ++putRequests_;
        else
            ++failures_;
    }
}

// A stop abandons the block half-sent: it stays staged, and is sent whole again later.
bool Uploader::uploadBlock(const StagingArea::Job& job) {
    for (std::uint64_t offset = 0;;) {
        if (cancel_)
            return false;
        const ssize_t sent = staging_.uploadChunk(job, offset, kChunkBytes);
        if (sent == 0)
            return true;
        if (sent < 0) {
            if (sent != -ENOENT) // the file went away meanwhile: nothing left to upload
                logError("upload of block " + std::to_string(job.block) + " of inode " +
                         std::to_string(job.file.ino) + " failed: " + std::strerror(-sent));
            return sent == -ENOENT;
        }
        offset += static_cast<std::uint64_t>(sent);
        putBytes_ += static_cast<std::uint64_t>(sent);
        // The block counts as uploaded only once its bytes have taken their time at the limit,
        // flush or not: the limit stands for the store's bandwidth.
        if (!limiter_.unlimited())
            staging_.waitUntil(
                limiter_.reserve(static_cast<std::uint64_t>(sent), RateLimiter::Clock::now()),
                cancel_);
    }
}
