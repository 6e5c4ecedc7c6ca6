#include "tools/devengine/StagingArea.h"

#include "tools/devengine/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr auto kRetryAfterFailure = std::chrono::seconds(1);

// `from` with `path`'s leading `from` replaced by `to`, when `path` is `from` or lies under it.
std::optional<std::string> movedPath(const std::string& path, const std::string& from,
                                     const std::string& to) {
    if (path == from)
        return to;
    if (path.size() > from.size() && path.compare(0, from.size(), from) == 0 &&
        path[from.size()] == '/')
        return to + path.substr(from.size());
    return std::nullopt;
}

} // namespace

StagingArea::StagingArea(Options options)
    : options_(std::move(options)), cache_(options_.cacheBytes), idBase_(std::random_device{}()) {
    idBase_ = (idBase_ << 32) ^ std::random_device{}();
}

std::string StagingArea::newId() {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(idBase_++));
    return text;
}

// A far-off upload delay must not overflow the clock: it saturates instead.
StagingArea::Clock::time_point StagingArea::readyAfterDelay() const {
    const auto now = Clock::now();
    if (options_.uploadDelay >= Clock::time_point::max() - now)
        return Clock::time_point::max();
    return now + options_.uploadDelay;
}

StagingArea::~StagingArea() {
    stop();
}

StagedFile* StagingArea::find(FileKey file) const {
    const auto it = files_.find(file);
    return it == files_.end() ? nullptr : it->second.get();
}

ssize_t StagingArea::stagedFor(FileKey file, int fd, const std::string& path, StagedFile*& out) {
    if ((out = find(file)))
        return 0;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return -errno;
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return -errno;
    StagedFile::Identity identity{options_.folder, newId(), path, st.st_ino, FileIo::birthTime(fd)};
    auto staged = std::make_unique<StagedFile>(
        std::move(identity), own, static_cast<std::uint64_t>(st.st_size), options_.blockSize);
    out = staged.get();
    files_.emplace(file, std::move(staged));
    return 0;
}

ssize_t StagingArea::readBacking(int fd, char* out, std::uint64_t offset, std::uint64_t length) {
    const ssize_t got = FileIo::preadFull(fd, out, length, offset);
    if (got < 0)
        return got;
    std::memset(out + got, 0, length - static_cast<std::uint64_t>(got));
    return 0;
}

ssize_t StagingArea::read(FileKey file, int fd, char* out, std::size_t size, std::uint64_t offset) {
    {
        std::lock_guard lock(mutex_);
        if (StagedFile* staged = find(file))
            return staged->read(out, size, offset,
                                [&](char* dst, std::uint64_t at, std::uint64_t length,
                                    std::uint64_t block, std::uint64_t blockBytes) {
                                    cache_.recordRead(file, block, blockBytes, length);
                                    return readBacking(staged->fd(), dst, at, length);
                                });
    }
    return readUnstaged(file, fd, out, size, offset);
}

// Without the lock: a write racing with this read may or may not be seen, as with any file.
ssize_t StagingArea::readUnstaged(FileKey file, int fd, char* out, std::size_t size,
                                  std::uint64_t offset) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return -errno;
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t blockSize = options_.blockSize;
    if (offset >= fileSize)
        return 0;
    const std::uint64_t end = std::min<std::uint64_t>(fileSize, offset + size);
    if (const ssize_t err = readBacking(fd, out, offset, end - offset); err < 0)
        return err;
    std::lock_guard lock(mutex_);
    for (std::uint64_t pos = offset; pos < end;) {
        const std::uint64_t block = pos / blockSize;
        const std::uint64_t length = std::min(end - pos, blockSize - pos % blockSize);
        cache_.recordRead(file, block, std::min(blockSize, fileSize - block * blockSize), length);
        pos += length;
    }
    return static_cast<ssize_t>(end - offset);
}

ssize_t StagingArea::write(FileKey file, int fd, const std::string& path, const char* data,
                           std::size_t size, std::uint64_t offset) {
    std::lock_guard lock(mutex_);
    StagedFile* staged = nullptr;
    if (const ssize_t err = stagedFor(file, fd, path, staged); err < 0)
        return err;
    const ssize_t written = staged->write(data, size, offset, ++seq_, readyAfterDelay());
    if (size > 0)
        cache_.invalidate(file, offset / options_.blockSize,
                          (offset + size - 1) / options_.blockSize);
    changed_.notify_all();
    return written;
}

// A truncate of staged data is made durable at once: no close may follow it.
int StagingArea::truncate(FileKey file, int fd, std::uint64_t size) {
    std::lock_guard lock(mutex_);
    int result = 0;
    if (StagedFile* staged = find(file)) {
        result = staged->truncate(size, ++seq_);
        if (result == 0)
            result = staged->commit();
        if (staged->blocks().empty()) {
            staged->removeStagedData();
            staged->settleBacking();
            files_.erase(file);
        }
    } else if (::ftruncate(fd, static_cast<off_t>(size)) != 0)
        result = -errno;
    cache_.invalidate(file, size / options_.blockSize);
    changed_.notify_all();
    return result;
}

void StagingArea::seal(FileKey file) {
    std::lock_guard lock(mutex_);
    if (StagedFile* staged = find(file))
        staged->seal(readyAfterDelay());
    changed_.notify_all();
}

int StagingArea::commit(FileKey file) {
    std::lock_guard lock(mutex_);
    StagedFile* staged = find(file);
    if (!staged)
        return 0;
    staged->seal(readyAfterDelay());
    changed_.notify_all();
    return staged->commit();
}

int StagingArea::commitAll() {
    std::lock_guard lock(mutex_);
    int result = 0;
    for (auto& entry : files_)
        if (const int err = entry.second->commit(); err < 0)
            result = err;
    return result;
}

void StagingArea::renamed(const std::string& from, const std::string& to, bool exchanged) {
    std::lock_guard lock(mutex_);
    for (auto& entry : files_) {
        StagedFile& staged = *entry.second;
        auto next = movedPath(staged.path(), from, to);
        if (!next && exchanged)
            next = movedPath(staged.path(), to, from);
        if (next)
            staged.moved(*next); // a failure leaves the old name, which recovery searches past
    }
}

void StagingArea::adopt(RecoveredFile recovered) {
    struct stat st {};
    if (::fstat(recovered.fd, &st) != 0) {
        ::close(recovered.fd);
        return;
    }
    std::lock_guard lock(mutex_);
    const FileKey key{st.st_dev, st.st_ino};
    StagedFile::Identity identity{options_.folder, recovered.id, recovered.record.path,
                                  recovered.record.ino, recovered.record.birth};
    auto staged = std::make_unique<StagedFile>(std::move(identity), recovered.fd,
                                               recovered.record.size, recovered.record.blockSize);
    const auto now = Clock::now();
    for (const auto& [index, length] : recovered.blocks)
        staged->adoptCommitted(index, length, ++seq_, now);
    staged->adoptRecord(recovered.record);
    if (files_.count(key)) { // two records of one file: the first one adopted stands
        staged->removeStagedData();
        return;
    }
    files_[key] = std::move(staged);
    changed_.notify_all();
}

void StagingArea::setMtime(FileKey file, const timespec& when) {
    std::lock_guard lock(mutex_);
    if (StagedFile* staged = find(file))
        staged->setMtime(when);
}

void StagingArea::discard(FileKey file) {
    std::lock_guard lock(mutex_);
    if (const auto it = files_.find(file); it != files_.end()) {
        it->second->removeStagedData();
        files_.erase(it);
    }
    cache_.invalidate(file);
    changed_.notify_all();
}

std::optional<StagingArea::LogicalView> StagingArea::view(FileKey file) const {
    std::lock_guard lock(mutex_);
    if (const StagedFile* staged = find(file))
        return LogicalView{staged->size(), staged->mtime()};
    return std::nullopt;
}

StagingArea::Snapshot StagingArea::snapshot() const {
    std::lock_guard lock(mutex_);
    Snapshot snap;
    for (const auto& entry : files_)
        for (const auto& [index, blk] : entry.second->blocks()) {
            ++snap.blocks;
            snap.bytes += blk.length;
            snap.writingBlocks += blk.sealed ? 0 : 1;
        }
    snap.cache = cache_.counters();
    return snap;
}

std::optional<StagingArea::Job> StagingArea::claim(const std::atomic<bool>& cancel) {
    std::unique_lock lock(mutex_);
    while (!stopping_ && !cancel) {
        const auto now = Clock::now();
        auto next = Clock::time_point::max();
        for (auto& [key, staged] : files_)
            if (const auto index = staged->readyBlock(now, flushers_ > 0, next)) {
                StagedFile::Block* blk = staged->block(*index);
                blk->uploading = true;
                return Job{key, *index, blk->version, seq_};
            }
        if (next == Clock::time_point::max())
            changed_.wait(lock);
        else
            changed_.wait_until(lock, next);
    }
    return std::nullopt;
}

ssize_t StagingArea::uploadChunk(const Job& job, std::uint64_t offset, std::uint64_t maxBytes) {
    std::lock_guard lock(mutex_);
    StagedFile* staged = find(job.file);
    return staged ? staged->uploadChunk(job.block, offset, maxBytes) : -ENOENT;
}

void StagingArea::finish(const Job& job, bool ok) {
    std::lock_guard lock(mutex_);
    const auto it = files_.find(job.file);
    if (it == files_.end())
        return;
    StagedFile& staged = *it->second;
    if (staged.finishUpload(job.block, job.version, job.seqAtStart, ok,
                            Clock::now() + kRetryAfterFailure))
        cache_.insert(job.file, job.block, staged.blockBytes(job.block));
    if (staged.blocks().empty()) {
        staged.settleBacking();
        files_.erase(it);
    }
    changed_.notify_all();
}

void StagingArea::waitUntil(Clock::time_point deadline, const std::atomic<bool>& cancel) {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return stopping_ || cancel.load(); });
}

void StagingArea::wake() {
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

bool StagingArea::dirtyUpTo(std::uint64_t seq) const {
    return std::any_of(files_.begin(), files_.end(),
                       [seq](const auto& entry) { return entry.second->dirtyUpTo(seq); });
}

bool StagingArea::flushAll() {
    std::unique_lock lock(mutex_);
    const std::uint64_t target = seq_;
    ++flushers_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return stopping_ || abandoned_ || !dirtyUpTo(target); });
    --flushers_;
    return !dirtyUpTo(target);
}

bool StagingArea::flushing() const {
    std::lock_guard lock(mutex_);
    return flushers_ > 0;
}

bool StagingArea::abandoned() const {
    std::lock_guard lock(mutex_);
    return abandoned_;
}

void StagingArea::abandonFlushes() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    changed_.notify_all();
}

void StagingArea::stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
}
