#include "tools/devengine/StagedFile.h"

#include "tools/devengine/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using FileIo::Descriptor;

} // namespace

StagedFile::StagedFile(std::string pathPrefix, int backingFd, std::uint64_t size,
                       std::uint64_t blockSize)
    : prefix_(std::move(pathPrefix)), fd_(backingFd), size_(size), blockSize_(blockSize) {}

StagedFile::~StagedFile() {
    ::close(fd_);
}

std::string StagedFile::stagingPath(std::uint64_t index) const {
    return prefix_ + "_" + std::to_string(index);
}

std::uint64_t StagedFile::blockBytes(std::uint64_t index) const {
    const std::uint64_t start = index * blockSize_;
    return size_ > start ? std::min(blockSize_, size_ - start) : 0;
}

StagedFile::Block* StagedFile::block(std::uint64_t index) {
    const auto it = blocks_.find(index);
    return it == blocks_.end() ? nullptr : &it->second;
}

// Copy-on-write: a block's first change copies what the backing holds for it.
ssize_t StagedFile::stage(std::uint64_t index, std::uint64_t seq, Block*& out) {
    if ((out = block(index)))
        return 0;
    const std::uint64_t length = blockBytes(index);
    std::vector<char> data(length, '\0');
    const ssize_t got = FileIo::preadFull(fd_, data.data(), length, index * blockSize_);
    if (got < 0)
        return got;
    Descriptor staged(
        ::open(stagingPath(index).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (staged.fd < 0)
        return -errno;
    if (const ssize_t put = FileIo::pwriteFull(staged.fd, data.data(), length, 0); put < 0)
        return put;
    out = &blocks_[index];
    *out = Block{length, seq, seq};
    return 0;
}

ssize_t StagedFile::readStaged(std::uint64_t index, const Block& blk, char* out,
                               std::uint64_t inBlock, std::uint64_t length) const {
    std::memset(out, 0, length);
    if (inBlock >= blk.length)
        return 0;
    Descriptor staged(::open(stagingPath(index).c_str(), O_RDONLY | O_CLOEXEC));
    if (staged.fd < 0)
        return -errno;
    const ssize_t got =
        FileIo::preadFull(staged.fd, out, std::min(length, blk.length - inBlock), inBlock);
    return got < 0 ? got : 0;
}

ssize_t StagedFile::read(char* out, std::size_t size, std::uint64_t offset,
                         const BackingRead& backing) {
    if (offset >= size_)
        return 0;
    const std::uint64_t end = std::min<std::uint64_t>(size_, offset + size);
    for (std::uint64_t pos = offset; pos < end;) {
        const std::uint64_t index = pos / blockSize_;
        const std::uint64_t inBlock = pos % blockSize_;
        const std::uint64_t length = std::min(end - pos, blockSize_ - inBlock);
        char* dst = out + (pos - offset);
        if (const Block* blk = block(index)) {
            if (const ssize_t err = readStaged(index, *blk, dst, inBlock, length); err < 0)
                return err;
        } else {
            if (const ssize_t err = backing(dst, pos, length, index, blockBytes(index)); err < 0)
                return err;
        }
        pos += length;
    }
    return static_cast<ssize_t>(end - offset);
}

ssize_t StagedFile::write(const char* data, std::size_t size, std::uint64_t offset,
                          std::uint64_t seq, Clock::time_point sealAt) {
    for (std::uint64_t pos = offset; pos < offset + size;) {
        const std::uint64_t index = pos / blockSize_;
        const std::uint64_t inBlock = pos % blockSize_;
        const std::uint64_t length = std::min(offset + size - pos, blockSize_ - inBlock);
        Block* blk = nullptr;
        if (const ssize_t err = stage(index, seq, blk); err < 0)
            return err;
        Descriptor staged(::open(stagingPath(index).c_str(), O_WRONLY | O_CLOEXEC));
        if (staged.fd < 0)
            return -errno;
        if (const ssize_t err =
                FileIo::pwriteFull(staged.fd, data + (pos - offset), length, inBlock);
            err < 0)
            return err;
        blk->length = std::max(blk->length, inBlock + length);
        blk->version = seq;
        if (!blk->sealed && inBlock + length == blockSize_) {
            blk->sealed = true;
            blk->readyAt = sealAt;
        }
        pos += length;
    }
    size_ = std::max<std::uint64_t>(size_, offset + size);
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    mtime_ = now;
    return static_cast<ssize_t>(size);
}

int StagedFile::truncate(std::uint64_t size, std::uint64_t seq) {
    for (auto it = blocks_.lower_bound((size + blockSize_ - 1) / blockSize_);
         it != blocks_.end();) {
        ::unlink(stagingPath(it->first).c_str());
        it = blocks_.erase(it);
    }
    const std::uint64_t last = size / blockSize_;
    if (Block* blk = block(last); blk && blk->length > size - last * blockSize_) {
        blk->length = size - last * blockSize_;
        if (::truncate(stagingPath(last).c_str(), static_cast<off_t>(blk->length)) != 0)
            return -errno;
        blk->version = seq;
    }
    size_ = size;
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        return -errno;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    mtime_ = now;
    return 0;
}

void StagedFile::seal(Clock::time_point readyAt) {
    for (auto& [index, blk] : blocks_)
        if (!blk.sealed) {
            blk.sealed = true;
            blk.readyAt = readyAt;
        }
}

void StagedFile::removeStagedData() {
    for (const auto& entry : blocks_)
        ::unlink(stagingPath(entry.first).c_str());
    blocks_.clear();
}

std::optional<std::uint64_t> StagedFile::readyBlock(Clock::time_point now, bool urgent,
                                                    Clock::time_point& next) const {
    for (const auto& [index, blk] : blocks_) {
        if (blk.uploading || (!urgent && !blk.sealed))
            continue;
        const Clock::time_point at = std::max(blk.retryAt, urgent ? now : blk.readyAt);
        if (at <= now)
            return index;
        next = std::min(next, at);
    }
    return std::nullopt;
}

ssize_t StagedFile::uploadChunk(std::uint64_t index, std::uint64_t offset, std::uint64_t maxBytes) {
    const Block* blk = block(index);
    if (!blk)
        return -ENOENT;
    if (offset >= blk->length)
        return 0;
    std::vector<char> chunk(std::min(maxBytes, blk->length - offset));
    if (const ssize_t err = readStaged(index, *blk, chunk.data(), offset, chunk.size()); err < 0)
        return err;
    return FileIo::pwriteFull(fd_, chunk.data(), chunk.size(), index * blockSize_ + offset);
}

bool StagedFile::finishUpload(std::uint64_t index, std::uint64_t version, std::uint64_t seqAtStart,
                              bool ok, Clock::time_point retryAt) {
    Block* blk = block(index);
    if (!blk)
        return false;
    blk->uploading = false;
    if (!ok) {
        blk->retryAt = retryAt;
        return false;
    }
    if (blk->version != version) {
        // Changes made while uploading may have missed the chunks already sent.
        blk->dirtySince = seqAtStart + 1;
        return false;
    }
    ::unlink(stagingPath(index).c_str());
    blocks_.erase(index);
    return true;
}

void StagedFile::settleBacking() {
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && static_cast<std::uint64_t>(st.st_size) != size_) {
        [[maybe_unused]] const int ignored = ::ftruncate(fd_, static_cast<off_t>(size_));
    }
    if (mtime_) {
        const timespec times[2] = {{0, UTIME_OMIT}, *mtime_};
        ::futimens(fd_, times);
    }
}

bool StagedFile::dirtyUpTo(std::uint64_t seq) const {
    return std::any_of(blocks_.begin(), blocks_.end(),
                       [seq](const auto& entry) { return entry.second.dirtySince <= seq; });
}
